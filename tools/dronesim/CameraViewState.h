#pragma once

#include "tools/dronesim/SimCamera.h"

#include <array>
#include <mutex>

// Which pose each camera pair currently looks at, shared between the drone state
// (Qt side, main thread) and the camera streams (GStreamer side, their own
// thread). Plain C++ so that the stream code needs no Qt header. Thread-safe.
class CameraViewState {
public:
    int poseIndex(SimPair pair) const;
    void setPoseIndex(SimPair pair, int index);

private:
    static size_t slot(SimPair pair) { return pair == SimPair::Forward ? 0 : 1; }

    mutable std::mutex m_mutex;
    std::array<int, 2> m_poseIndex{{0, 0}};
};
