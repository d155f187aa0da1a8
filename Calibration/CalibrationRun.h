#pragma once

#include "Calibration/CMyCalculationPicThread.h"
#include "Calibration/ImageData.h"
#include "Calibration/RunOutcome.h"
#include "device/wire/FeatureData.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QThreadPool;

// One calibration run, from the drone's feature records to its outcome, for
// the live data channel and the offline replay alike. No sockets, no widgets.
//
// The feeder hands over each parsed feature record (addRecord); the run maps
// it to its global image number (image index, plus 26 for the downward pair),
// starts its ordering task on the thread pool and keeps a record of how the
// task ended. Each pair is calibrated as soon as its data is complete: the
// forward pair when both cameras of its last image (25) have been taken, or
// the first downward record arrived, and every forward task has ended, so
// while the downward capture still runs; the downward pair the moment its
// last ordering task ends, once the run's last image (51, right camera) is
// stored and the forward pair passed. The drone sends its images in order;
// a record of a pair whose calibration has begun is refused. A pair's two single-camera
// calibrations run in parallel (ImageData). The maps are converted in
// memory; the log and the eight map files are written as the calibration
// always wrote them, and the four depth-unit maps are read back and checked
// before the run passes. All of this gives byte for byte what the
// sequential computation (ImageData::calibrateRun after every task) gives.
//
// The run always ends, exactly once, by calling the outcome handler (from a
// pool or watchdog thread, never under a lock): passed, or failed with a
// typed reason. It fails when a pair fails a check or its outputs cannot be
// written, when the last image cannot be ordered, when the records end
// (streamEnded) or the connection drops (connectionLost) before the last
// image arrived, or when the last image has not arrived within the bound
// given to captureFinished. A failure is published once no task or
// calibration of the run is still working, so the store and the records are
// complete and quiet when the handler runs.
//
// Every run has a store of its own, so a run started while an earlier one
// still calculates never mixes their data; abort() makes the earlier run drop
// its remaining work and never call its handler, without waiting for it. The
// calibrations of all runs take turns on the output files (one process-wide
// lock), so an aborted run never overwrites a later run's files.
//
// Create with create(); every member is thread-safe.
class CalibrationRun : public std::enable_shared_from_this<CalibrationRun> {
public:
    static constexpr int kImagesPerPair = ImageData::kSlotsPerPair;
    static constexpr int kLastImageIndex = ImageData::kImagesPerRun - 1;
    static constexpr int kLastCamera = 2;

    // How one received image of one camera ended, for the run report.
    struct ImageRecord {
        int imageIndex = -1;  // global image number, 0..51
        int camera = 0;       // 1 left, 2 right
        int centres = 0;      // circle centres the drone sent
        bool stored = false;  // ordered lists stored
        int points = 0;       // ordered points stored
        QString dropStage;    // when not stored: CMyCalculationPicThread::stageName or "run"
        QString dropDetail;   // ... and why, in words
        // Image pixels of the sent circles the task did not store (all of them
        // for a dropped image); empty when its homography is unusable or the
        // task never ran.
        std::vector<cv::Point2f> unusedPoints;
    };

    // Whether addRecord took a record; a refused record starts no task.
    struct Admission {
        bool accepted = false;
        int imageIndex = -1;  // global image number, -1 when the record has no slot
        QString reason;       // why it was refused
    };

    using OutcomeHandler = std::function<void(const RunOutcome&)>;

    // outputFolder: where the calibration log (log/<time>.txt) and the map
    // files go (ImageData::setOutputFolder); pool: where ordering tasks and
    // calibrations run (the global pool when null). The handler is called
    // once with the outcome, unless the run is aborted first.
    static std::shared_ptr<CalibrationRun> create(const QString& outputFolder,
                                                  OutcomeHandler handler,
                                                  QThreadPool* pool = nullptr);
    ~CalibrationRun();

    CalibrationRun(const CalibrationRun&) = delete;
    CalibrationRun& operator=(const CalibrationRun&) = delete;

    // The board the run's records were taken of: circle radius in screen
    // pixels and the screen's physical and pixel width. Tasks started after
    // this call use it.
    void setBoard(float radiusPx, const CMyCalculationPicThread::ScreenMetrics& screen);

    // One parsed feature record. Refused, with a log line, when it has no
    // slot (pair other than 4/5, image index above 25, camera other than
    // 1/2), when the run is over, or when its pair's calibration has begun
    // (a record of a pair arriving after that pair's last one).
    Admission addRecord(const FeatureData& record);

    // No further record will come (the replay read its whole record).
    void streamEnded();
    // The data connection dropped: a run still waiting for its last image
    // fails; one that has it goes on (the upload will then fail).
    void connectionLost();
    // The capture channel reported the downward pair finished: unless the
    // last image has arrived within bound from now, the run fails.
    void captureFinished(std::chrono::milliseconds bound);
    // Abandons the run: tasks not yet started skip their work, no pair
    // calibration starts any more, the handler is never called. Returns at
    // once.
    void abort();

    bool isFinished() const;
    RunOutcome outcome() const;  // meaningful once finished
    // The run's store: its lists, matrices, diagnostics and paths. Read it
    // once the outcome is known; nothing of the run touches it afterwards.
    const ImageData& store() const { return *m_store; }
    // How every received image ended, in the order the tasks ended.
    std::vector<ImageRecord> imageRecords() const;

private:
    enum class PairId { Forward = 0, Downward = 1 };
    struct PairState {
        int active = 0;        // ordering tasks of the pair still running
        bool closed = false;   // no further record of the pair is taken
        bool started = false;  // its calibration has been started
        bool done = false;     // ... and has ended
        bool passed = false;
        RunOutcome failure;  // why it did not pass
    };

    CalibrationRun(const QString& outputFolder, OutcomeHandler handler, QThreadPool* pool);

    friend class CalibrationRunTask;
    friend class CalibrationRunPair;
    bool storeSorted(int imageIndex, int camera, const ImageData::ImagePoints& imagePoints,
                     const ImageData::BoardPoints& boardPoints);
    void taskEnded(const CMyCalculationPicThread& task, int centres, bool ran);
    void calibratePair(PairId pair);
    bool aborted() const;

    // Decides, under the lock, what the run's state calls for next (start a
    // pair, publish the outcome) and does it.
    void advance();
    bool idleLocked() const;
    void failLocked(const RunOutcome& failure);
    void watchDeadline(std::chrono::steady_clock::time_point deadline,
                       std::chrono::milliseconds bound);

    std::unique_ptr<ImageData> m_store;
    QThreadPool* m_pool;
    OutcomeHandler m_handler;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    float m_radiusPx = 0.0f;
    CMyCalculationPicThread::ScreenMetrics m_screen;
    PairState m_pairs[2];
    int m_received = 0;
    int m_forwardLastCameras = 0;  // bit 1 left, bit 2 right of image 25
    bool m_lastRegistered = false;
    bool m_lastEnded = false;
    bool m_lastStored = false;
    QString m_lastDrop;  // why the last image's ordering gave up
    bool m_failing = false;
    RunOutcome m_failure;
    bool m_published = false;
    bool m_aborted = false;
    RunOutcome m_outcome;
    std::vector<ImageRecord> m_records;
    std::thread m_watchdog;
};
