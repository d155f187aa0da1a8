#include "device/CameraOpenRetry.h"

#include <QByteArray>

#include <algorithm>

CameraOpenRetry::CameraOpenRetry(int limitMs) : m_limitMs(std::max(0, limitMs)) {}

int CameraOpenRetry::limitFromEnvironment() {
    bool ok = false;
    const int limit = qEnvironmentVariableIntValue("NIMBRA_CAMERA_GIVE_UP_MS", &ok);
    return ok && limit >= 1 ? limit : kDefaultLimitMs;
}

void CameraOpenRetry::reset() {
    m_failures = 0;
    m_nextPauseMs = kFirstPauseMs;
    m_firstFailureMs = 0;
}

int CameraOpenRetry::failed(qint64 nowMs) {
    if (m_failures == 0) {
        m_firstFailureMs = nowMs;
    }
    ++m_failures;
    const qint64 left = m_limitMs - failingForMs(nowMs);
    if (left <= 0) {
        return kGiveUp;
    }
    const int pause = static_cast<int>(std::min<qint64>(m_nextPauseMs, left));
    m_nextPauseMs = std::min(m_nextPauseMs * 2, kMaxPauseMs);
    return pause;
}

qint64 CameraOpenRetry::failingForMs(qint64 nowMs) const {
    return m_failures == 0 ? 0 : std::max<qint64>(0, nowMs - m_firstFailureMs);
}
