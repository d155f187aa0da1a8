#pragma once

#include "Calibration/ImageData.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include <QString>

// Decides when a calibration run is complete and starts its computation
// exactly once, without any thread waiting for another.
//
// The data channel and the ordering tasks report to it: a task is registered
// when the channel takes its record off the queue, stores its lists through the
// tracker and reports its end on every path. The computation (by default
// ImageData::calibrateRun: fixSortData, forward pair, downward pair only when
// the forward one succeeded, result published) runs in the thread of whichever
// call completes the run: the final image (global image 51, right camera) has
// been stored and no registered task is still running. Nothing blocks on a pool
// thread, so the 5-thread pool cannot deadlock on it.
//
// When the run can no longer complete, the result 0 is published instead once
// every registered task has ended: the final image's task ended without storing,
// or the channel reported that no more packets come while the final image was
// never stored. From the moment the computation starts or a result is
// published the run is closed: no task is registered and no list is stored
// until beginRun opens the next run. Tasks of an earlier run that are still
// running when a new run begins are ignored (their stores refused).
//
// Callers, per run:
//   data channel  writeStart: beginRun() (instead of setting the result to -1);
//                 hand-off: under the queue mutex, take a record and call
//                 taskStarted(n, camera); on 0 drop the record, else give the
//                 id to the task and start it; after handing off (51, 2) call
//                 streamEnded() and poll the result as before; also call
//                 streamEnded() when the connection drops or the run is quit.
//   ordering task store through storeSorted(id, ...) instead of the store;
//                 call taskFinished(id) as the last thing of run() on every
//                 path; it no longer starts the calibration itself.
//
// All members are thread-safe.
class CalibrationRunTracker {
public:
    using RunId = std::uint64_t;  // 0: no run (registration refused)

    // How one ordering task of the run ended, for the run report.
    struct TaskRecord {
        int imageIndex = -1;  // global image number, 0..51
        int camera = 0;       // 1 left, 2 right
        int centres = 0;      // circle centres the drone sent
        bool stored = false;  // ordered lists stored into the store
        int points = 0;       // ordered points stored
        QString stageLine;    // for a dropped image: the task's log line naming the stage
        // Image pixels of the sent circles the task did not store (all of
        // them for a dropped image); empty when its homography is unusable.
        std::vector<cv::Point2f> unusedPoints;
    };
    using Computation = std::function<bool()>;

    enum class State { Idle, Open, Computing, Published };

    static constexpr int kFinalImageIndex = ImageData::kImagesPerRun - 1;
    static constexpr int kFinalCamera = 2;

    // store: where lists are stored and the result published. computation: the
    // run's work, returning its outcome; empty means store->calibrateRun().
    explicit CalibrationRunTracker(ImageData* store, Computation computation = Computation());

    // The tracker of the process-wide store (built on first call, thread-safe).
    static CalibrationRunTracker* getInstance();

    // Data channel, when a run starts ("start" sent): resets the store
    // (ImageData::startRun, result -1) and opens a new run. Waits for a
    // computation in progress to end first.
    void beginRun();

    // Data channel, in the same critical section in which it takes the record
    // off its queue: registers the ordering task of that image. Returns the id
    // to give the task, or 0 when the run is closed (or none was begun): the
    // record is then dropped and no task started.
    RunId taskStarted(int imageIndex, int camera);

    // Ordering task: stores its lists (ImageData::storeSorted). False, and
    // nothing written, when run is not the current open run or the image has no
    // slot.
    bool storeSorted(RunId run, int imageIndex, int camera,
                     const ImageData::ImagePoints& imagePoints,
                     const ImageData::BoardPoints& boardPoints);

    // Ordering task, as the last thing of its run() on every path, stored or
    // not, exactly once. May run the computation in the calling thread.
    void taskFinished(RunId run);

    // Data channel: no further record of this run will be registered (the
    // final record was handed off, the connection dropped or the run was quit).
    // May publish the failure in the calling thread.
    void streamEnded();

    // Ordering task, before taskFinished: how it ended. Ignored unless run is
    // the current run.
    void recordTask(RunId run, const TaskRecord& record);
    // The records of the current (or last) run, in the order the tasks ended.
    std::vector<TaskRecord> taskRecords() const;

    State state() const;
    int activeTasks() const;

    CalibrationRunTracker(const CalibrationRunTracker&) = delete;
    CalibrationRunTracker& operator=(const CalibrationRunTracker&) = delete;

private:
    enum class Settlement { None, Compute, Fail };

    // Under m_mutex: what the current state of the run calls for, with the
    // state moved on accordingly.
    Settlement settleLocked();
    void carryOut(Settlement settlement, std::unique_lock<std::mutex>& lock);

    ImageData* m_store;
    Computation m_computation;

    mutable std::mutex m_mutex;
    std::condition_variable m_computationEnded;
    State m_state = State::Idle;
    RunId m_run = 0;
    int m_active = 0;
    bool m_finalRegistered = false;
    bool m_finalStored = false;
    bool m_streamEnded = false;
    std::vector<TaskRecord> m_taskRecords;
};
