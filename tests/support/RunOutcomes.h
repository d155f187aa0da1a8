#pragma once

#include "Calibration/CalibrationRun.h"

#include <QList>
#include <QMutex>

// Collects the outcomes a CalibrationRun reports; its handler runs on a pool
// or watchdog thread, the test reads from its own.
class RunOutcomes {
public:
    CalibrationRun::OutcomeHandler handler() {
        return [this](const RunOutcome& outcome) {
            QMutexLocker lock(&m_mutex);
            m_list << outcome;
        };
    }
    int count() {
        QMutexLocker lock(&m_mutex);
        return m_list.size();
    }
    RunOutcome first() {
        QMutexLocker lock(&m_mutex);
        return m_list.value(0);
    }

private:
    QMutex m_mutex;
    QList<RunOutcome> m_list;
};
