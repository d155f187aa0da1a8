#include "Calibration/CalibrationRunTracker.h"
#include "Calibration/ImageData.h"

#include "tests/support/OutputCapture.h"
#include "tests/support/TestMain.h"

#include <QMutex>
#include <QMutexLocker>
#include <QRunnable>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <deque>
#include <random>

namespace {

struct Record {
    int imageIndex;
    int camera;
    int workMs;
    bool stores;  // false: the ordering gives up and stores nothing
};

// Stands in for the ordering task: works a while, stores one point, reports.
class FakeOrderingTask : public QRunnable {
public:
    FakeOrderingTask(CalibrationRunTracker* tracker, CalibrationRunTracker::RunId run, Record r)
        : m_tracker(tracker), m_run(run), m_record(r) {}

    void run() override {
        QThread::msleep(static_cast<unsigned long>(m_record.workMs));
        if (m_record.stores) {
            const float v = static_cast<float>(m_record.imageIndex);
            m_tracker->storeSorted(m_run, m_record.imageIndex, m_record.camera, {{v, v}},
                                   {{v, v, 0.0f}});
        }
        m_tracker->taskFinished(m_run);
    }

private:
    CalibrationRunTracker* m_tracker;
    CalibrationRunTracker::RunId m_run;
    Record m_record;
};

// Stands in for the data channel: a locked queue of records handed to tasks on
// the pool; the hand-off of the final record then blocks its pool thread
// polling the result, as the real hand-off does.
class FakeDataChannel {
public:
    FakeDataChannel(CalibrationRunTracker* tracker, ImageData* store, QThreadPool* pool)
        : m_tracker(tracker), m_store(store), m_pool(pool) {}

    void enqueue(const std::vector<Record>& records) {
        QMutexLocker lock(&m_mutex);
        m_queue.insert(m_queue.end(), records.begin(), records.end());
    }

    // Hands off every queued record; call on a pool thread.
    void handOff() {
        for (;;) {
            Record record{};
            CalibrationRunTracker::RunId run = 0;
            {
                QMutexLocker lock(&m_mutex);
                if (m_queue.empty()) {
                    return;
                }
                record = m_queue.front();
                m_queue.pop_front();
                run = m_tracker->taskStarted(record.imageIndex, record.camera);
            }
            if (run == 0) {
                ++refused;
                continue;
            }
            m_pool->start(new FakeOrderingTask(m_tracker, run, record));
            if (record.imageIndex == 51 && record.camera == 2) {
                m_tracker->streamEnded();
                pollResult();
            }
        }
    }

    void pollResult() {
        while (m_store->m_nCalibResult == ImageData::kResultPending) {
            QThread::msleep(5);
        }
        polledResult = m_store->m_nCalibResult.load();
    }

    std::atomic<int> polledResult{ImageData::kResultPending};
    std::atomic<int> refused{0};

private:
    CalibrationRunTracker* m_tracker;
    ImageData* m_store;
    QThreadPool* m_pool;
    QMutex m_mutex;
    std::deque<Record> m_queue;
};

// Every image of a run, both cameras, in arrival order; the final record
// (51, right) does almost no work so that it ends before earlier ones.
std::vector<Record> wholeRun(unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> work(0, 15);
    std::vector<Record> records;
    for (int i = 0; i < ImageData::kImagesPerRun; ++i) {
        records.push_back({i, 1, work(rng), true});
        records.push_back({i, 2, i == 51 ? 0 : work(rng), true});
    }
    return records;
}

bool everySlotStored(const ImageData& store) {
    for (const auto* v : {&store.m_vecLeftPix_front, &store.m_vecRightPix_front,
                          &store.m_vecLeftPix_down, &store.m_vecRightPix_down}) {
        for (const auto& slot : *v) {
            if (slot.empty()) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

class TestCalibrationRunTracker : public QObject {
    Q_OBJECT

private slots:
    void computesOnceAfterEveryTaskStored_data() {
        QTest::addColumn<int>("blockedThreads");
        QTest::newRow("one polling hand-off") << 1;
        // Four of the five threads blocked: the tasks still get through on one.
        QTest::newRow("four blocked threads") << 4;
    }

    void computesOnceAfterEveryTaskStored() {
        QFETCH(int, blockedThreads);
        ImageData store;
        std::atomic<int> computations{0};
        std::atomic<bool> sawEverySlot{false};
        CalibrationRunTracker tracker(&store, [&] {
            ++computations;
            sawEverySlot = everySlotStored(store);
            QThread::msleep(30);
            return true;
        });
        QThreadPool pool;
        pool.setMaxThreadCount(5);
        FakeDataChannel channel(&tracker, &store, &pool);

        LogCapture log;
        tracker.beginRun();
        QCOMPARE(int(store.m_nCalibResult), ImageData::kResultPending);
        channel.enqueue(wholeRun(static_cast<unsigned>(blockedThreads)));
        for (int b = 1; b < blockedThreads; ++b) {
            pool.start([&channel] { channel.pollResult(); });
        }
        pool.start([&channel] { channel.handOff(); });

        QVERIFY(pool.waitForDone(20000));
        QCOMPARE(computations.load(), 1);
        QVERIFY(sawEverySlot);
        QCOMPARE(channel.polledResult.load(), int(ImageData::kResultSucceeded));
        QCOMPARE(int(store.m_nCalibResult), ImageData::kResultSucceeded);
        QVERIFY(tracker.state() == CalibrationRunTracker::State::Published);
        QCOMPARE(tracker.activeTasks(), 0);
        QVERIFY(log.contains("最后一张数据计算结束"));
    }

    void missingFinalImagePublishesFailure_data() {
        QTest::addColumn<bool>("finalArrives");
        QTest::newRow("final image stores nothing") << true;
        QTest::newRow("stream ends before the final image") << false;
    }

    void missingFinalImagePublishesFailure() {
        QFETCH(bool, finalArrives);
        ImageData store;
        std::atomic<int> computations{0};
        CalibrationRunTracker tracker(&store, [&] { return ++computations > 0; });
        QThreadPool pool;
        pool.setMaxThreadCount(5);
        FakeDataChannel channel(&tracker, &store, &pool);

        std::vector<Record> records = wholeRun(finalArrives ? 3 : 4);
        if (finalArrives) {
            records.back().stores = false;
        } else {
            records.pop_back();
        }
        LogCapture log;
        tracker.beginRun();
        channel.enqueue(records);
        pool.start([&channel] { channel.handOff(); });
        QVERIFY(pool.waitForDone(20000));
        if (finalArrives) {
            QCOMPARE(channel.polledResult.load(), int(ImageData::kResultFailed));
            QVERIFY(log.contains("calibration not started"));
        } else {
            // Everything stored, but without the final image nothing may start.
            QCOMPARE(int(store.m_nCalibResult), ImageData::kResultPending);
            QVERIFY(tracker.state() == CalibrationRunTracker::State::Open);
            tracker.streamEnded();  // the connection dropped
            QCOMPARE(int(store.m_nCalibResult), ImageData::kResultFailed);
        }
        QCOMPARE(computations.load(), 0);
        QVERIFY(tracker.state() == CalibrationRunTracker::State::Published);
    }

    void closedRunRefusesTasksAndNewRunIgnoresStaleOnes() {
        ImageData store;
        int computations = 0;
        CalibrationRunTracker tracker(&store, [&] {
            ++computations;
            return true;
        });
        LogCapture log;
        QCOMPARE(tracker.taskStarted(0, 1), CalibrationRunTracker::RunId(0));  // no run begun

        tracker.beginRun();
        const auto early = tracker.taskStarted(3, 1);  // still running when the run ends
        const auto final = tracker.taskStarted(51, 2);
        QVERIFY(early != 0 && final == early);
        QVERIFY(tracker.storeSorted(final, 51, 2, {{1, 1}}, {{1, 1, 0}}));
        tracker.taskFinished(final);
        QCOMPARE(computations, 0);  // image 3 is still running
        QVERIFY(tracker.storeSorted(early, 3, 1, {{2, 2}}, {{2, 2, 0}}));
        tracker.taskFinished(early);
        QCOMPARE(computations, 1);
        QCOMPARE(int(store.m_nCalibResult), ImageData::kResultSucceeded);

        // A duplicate after the computation is refused and starts nothing.
        QCOMPARE(tracker.taskStarted(51, 2), CalibrationRunTracker::RunId(0));
        tracker.taskFinished(final);
        tracker.streamEnded();
        QCOMPARE(computations, 1);

        // A task of the previous run that outlives it cannot write the new run.
        tracker.beginRun();
        QCOMPARE(int(store.m_nCalibResult), ImageData::kResultPending);
        QVERIFY(store.m_vecLeftPix_front[3].empty());
        QVERIFY(!tracker.storeSorted(early, 3, 1, {{2, 2}}, {{2, 2, 0}}));
        QVERIFY(store.m_vecLeftPix_front[3].empty());
        const auto current = tracker.taskStarted(51, 2);
        QVERIFY(current != early);
        tracker.taskFinished(early);  // stale: must not end the new run's count
        QCOMPARE(tracker.activeTasks(), 1);
        QVERIFY(!tracker.storeSorted(current, 52, 2, {{1, 1}}, {{1, 1, 0}}));  // no slot
        tracker.taskFinished(current);
        QCOMPARE(int(store.m_nCalibResult), ImageData::kResultFailed);
        QCOMPARE(computations, 1);
    }

    void defaultComputationCalibratesTheStore() {
        // Without a computation of its own the tracker runs ImageData::calibrateRun;
        // one point per camera is no calibration input, so the run fails cleanly.
        ImageData store;
        CalibrationRunTracker tracker(&store);
        LogCapture log;
        StdoutCapture out;
        tracker.beginRun();
        const auto run = tracker.taskStarted(51, 2);
        QVERIFY(tracker.storeSorted(run, 51, 2, {{1, 1}}, {{1, 1, 0}}));
        tracker.taskFinished(run);
        QCOMPARE(out.finish(), QString());
        QCOMPARE(int(store.m_nCalibResult), ImageData::kResultFailed);
        QVERIFY(log.contains("front calibration refused by OpenCV"));
        QVERIFY(!log.contains("down calibration"));
        QVERIFY(tracker.state() == CalibrationRunTracker::State::Published);
    }
};

NIMBRA_CORE_TEST_MAIN(TestCalibrationRunTracker)
#include "tst_calibrationruntracker.moc"
