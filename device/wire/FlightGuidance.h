#pragma once

#include <QMetaType>

// Guidance derived from the capture control channel's status packets. The
// enumeration lives in a plain holder so that code without threads or sockets
// can use it; the capture session derives from the holder, which makes
// ImageCapture::FlightState and ImageCapture::MoveAway name these very values.
struct FlightGuidance {
    enum FlightState {
        MoveAway = 0,          // distance ratio above 1.05: the drone is too close
        MoveCloser = 1,        // distance ratio below 0.7: the drone is too far
        Clockwise = 2,         // in range, rotation negative
        CounterClockwise = 3,  // in range, rotation positive
        Normal = 4,            // in range, no rotation
    };
};

Q_DECLARE_METATYPE(FlightGuidance::FlightState)
