#pragma once

#include "device/wire/FlightGuidance.h"

#include <QRect>

#include <optional>

// Where the three mark circles of one status packet lie, as the rectangles
// the video view draws (image pixels).
struct CirclePositions {
    QRect c1;
    QRect c2;
    QRect c3;
    int pos = 0;
    int frame = 0;
    int index = 0;  // image index mod 13: the image within the current camera
    bool isDownView = false;
};

// What one status packet asks of the capture session. The fields are listed
// in the order in which the session acts on them: state, imageIndex, the
// finished reports, the camera switch, circles.
struct CaptureEvents {
    enum class CameraSwitch {
        None,
        ToForwardRight,   // the stream reader's openForwardRight()
        ToDownwardRight,  // the stream reader's openDownwardRight()
    };

    std::optional<FlightGuidance::FlightState> state;
    std::optional<int> imageIndex;
    bool forwardFinished = false;
    bool downwardFinished = false;
    CameraSwitch cameraSwitch = CameraSwitch::None;
    std::optional<CirclePositions> circles;
};
