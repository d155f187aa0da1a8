#pragma once

#include <array>
#include <string>

// The drone's four cameras, numbered like the desktop's stream positions.
enum class SimCamera { ForwardLeft = 0, ForwardRight = 1, DownwardLeft = 2, DownwardRight = 3 };

// The two stereo pairs; the numbers are the pair codes of the data channel.
enum class SimPair { Forward = 4, Downward = 5 };

constexpr std::array<SimCamera, 4> kAllCameras = {SimCamera::ForwardLeft, SimCamera::ForwardRight,
                                                  SimCamera::DownwardLeft,
                                                  SimCamera::DownwardRight};

inline SimPair pairOf(SimCamera camera) {
    return (camera == SimCamera::ForwardLeft || camera == SimCamera::ForwardRight)
               ? SimPair::Forward
               : SimPair::Downward;
}

inline bool isLeft(SimCamera camera) {
    return camera == SimCamera::ForwardLeft || camera == SimCamera::DownwardLeft;
}

// RTSP path of each camera. Left and right of a pair are served under crossed
// numbers: the forward left camera is "/ov7251_02", the forward right "/ov7251_01".
inline std::string streamPath(SimCamera camera) {
    switch (camera) {
        case SimCamera::ForwardLeft:
            return "/ov7251_02";
        case SimCamera::ForwardRight:
            return "/ov7251_01";
        case SimCamera::DownwardLeft:
            return "/ov7251_04";
        case SimCamera::DownwardRight:
            return "/ov7251_03";
    }
    return {};
}

inline std::string cameraName(SimCamera camera) {
    switch (camera) {
        case SimCamera::ForwardLeft:
            return "forward left";
        case SimCamera::ForwardRight:
            return "forward right";
        case SimCamera::DownwardLeft:
            return "downward left";
        case SimCamera::DownwardRight:
            return "downward right";
    }
    return {};
}
