#include "tools/dronesim/CameraViewState.h"

int CameraViewState::poseIndex(SimPair pair) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_poseIndex[slot(pair)];
}

void CameraViewState::setPoseIndex(SimPair pair, int index) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_poseIndex[slot(pair)] = index;
}
