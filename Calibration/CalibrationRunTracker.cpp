#include "Calibration/CalibrationRunTracker.h"

#include <QDebug>

#include <exception>

CalibrationRunTracker::CalibrationRunTracker(ImageData* store, Computation computation)
    : m_store(store), m_computation(std::move(computation)) {
    if (!m_computation) {
        m_computation = [store] { return store->calibrateRun(); };
    }
}

CalibrationRunTracker* CalibrationRunTracker::getInstance() {
    static CalibrationRunTracker* instance = new CalibrationRunTracker(ImageData::getInstance());
    return instance;
}

void CalibrationRunTracker::beginRun() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_computationEnded.wait(lock, [this] { return m_state != State::Computing; });
    if (m_active > 0) {
        qDebug() << "new calibration run while" << m_active
                 << "ordering tasks of the previous run still run; their results are ignored";
    }
    ++m_run;
    m_active = 0;
    m_finalRegistered = false;
    m_finalStored = false;
    m_streamEnded = false;
    m_taskRecords.clear();
    m_state = State::Open;
    // Stores go through this mutex too, so no task writes while the store resets.
    m_store->startRun();
}

CalibrationRunTracker::RunId CalibrationRunTracker::taskStarted(int imageIndex, int camera) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_state != State::Open) {
        qDebug() << "ordering task for image" << imageIndex << "camera" << camera
                 << "refused: no open calibration run";
        return 0;
    }
    ++m_active;
    if (imageIndex == kFinalImageIndex && camera == kFinalCamera) {
        m_finalRegistered = true;
    }
    return m_run;
}

bool CalibrationRunTracker::storeSorted(RunId run, int imageIndex, int camera,
                                        const ImageData::ImagePoints& imagePoints,
                                        const ImageData::BoardPoints& boardPoints) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (run == 0 || run != m_run || m_state != State::Open) {
        qDebug() << "sorted lists of image" << imageIndex << "camera" << camera
                 << "dropped: their run is over";
        return false;
    }
    if (!m_store->storeSorted(imageIndex, camera, imagePoints, boardPoints)) {
        qDebug() << "sorted lists of image" << imageIndex << "camera" << camera
                 << "dropped: no slot";
        return false;
    }
    if (imageIndex == kFinalImageIndex && camera == kFinalCamera) {
        m_finalStored = true;
    }
    return true;
}

void CalibrationRunTracker::taskFinished(RunId run) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (run == 0 || run != m_run || m_active == 0) {
        return;
    }
    --m_active;
    carryOut(settleLocked(), lock);
}

void CalibrationRunTracker::streamEnded() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_state != State::Open) {
        return;
    }
    m_streamEnded = true;
    carryOut(settleLocked(), lock);
}

void CalibrationRunTracker::recordTask(RunId run, const TaskRecord& record) {
    std::lock_guard<std::mutex> lock(m_mutex);
    // At most one record per registered task: bounded by what the run received.
    if (run != 0 && run == m_run && m_state == State::Open) {
        m_taskRecords.push_back(record);
    }
}

std::vector<CalibrationRunTracker::TaskRecord> CalibrationRunTracker::taskRecords() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_taskRecords;
}

CalibrationRunTracker::State CalibrationRunTracker::state() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state;
}

int CalibrationRunTracker::activeTasks() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_active;
}

CalibrationRunTracker::Settlement CalibrationRunTracker::settleLocked() {
    if (m_state != State::Open || m_active > 0) {
        return Settlement::None;
    }
    if (m_finalStored) {
        m_state = State::Computing;
        return Settlement::Compute;
    }
    if (m_finalRegistered || m_streamEnded) {
        m_state = State::Published;
        return Settlement::Fail;
    }
    return Settlement::None;
}

void CalibrationRunTracker::carryOut(Settlement settlement, std::unique_lock<std::mutex>& lock) {
    if (settlement == Settlement::Fail) {
        qDebug() << "calibration run ended without its last image; calibration not started";
        m_store->m_nCalibResult = ImageData::kResultFailed;
        return;
    }
    if (settlement != Settlement::Compute) {
        return;
    }
    // The run is closed (state Computing), so nothing else touches the store's
    // lists while the lock is released for the long computation.
    lock.unlock();
    qDebug() << "最后一张数据计算结束";
    bool ok = false;
    try {
        ok = m_computation();
    } catch (const std::exception& e) {
        // Left uncaught, the run would stay "computing" and the next run wait forever.
        qDebug() << "calibration computation failed:" << e.what();
    }
    m_store->m_nCalibResult = ok ? ImageData::kResultSucceeded : ImageData::kResultFailed;
    lock.lock();
    m_state = State::Published;
    m_computationEnded.notify_all();
}
