// The wait after the run's last feature record, in process: a whole simulated
// run (104 records of the simulated rigs) goes through CalibrationRun as the
// data channel feeds it; every record but the last is handed over and
// ordered, and the forward pair calibrated, untimed; then the time from
// handing over the last record (downward image 25, right camera) to the
// run's outcome is measured, split into ordering that image (counter
// "ordering_ms") and the rest: the downward pair's calibration, its outputs
// and the check of the four maps. For comparison, the bare OpenCV calls of
// the downward pair on the same data, one after the other on one thread.
// Writes only under a temporary home.
#include "bench/BenchMain.h"
#include "bench/BareOpenCvPair.h"
#include "bench/QuietStdout.h"
#include "Calibration/CalibrationRun.h"
#include "tests/support/SyntheticRunRecord.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>

namespace {

void silent(QtMsgType, const QMessageLogContext&, const QString&) {}

const SyntheticRunRecord::Geometry kGeometry;
const CMyCalculationPicThread::ScreenMetrics kScreen = SyntheticRunRecord::screen(kGeometry);
QString g_folder;

const std::vector<FeatureData>& records() {
    static const std::vector<FeatureData> all = SyntheticRunRecord::features(kGeometry);
    return all;
}

void waitFor(const std::function<bool()>& done) {
    while (!done()) {
        QThread::usleep(200);
    }
}

void BM_LastRecordToOutcome(benchmark::State& state) {
    const std::vector<FeatureData>& all = records();
    double orderingMs = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        std::mutex mutex;
        std::condition_variable ended;
        bool finished = false;
        RunOutcome outcome;
        auto run = CalibrationRun::create(g_folder, [&](const RunOutcome& o) {
            std::lock_guard<std::mutex> lock(mutex);
            outcome = o;
            finished = true;
            ended.notify_all();
        });
        run->setBoard(kGeometry.radiusPx, kScreen);
        for (size_t r = 0; r + 1 < all.size(); ++r) {
            run->addRecord(all[r]);
        }
        waitFor([&] { return run->imageRecords().size() == all.size() - 1; });
        // The forward pair's calibration was started by then; let it end.
        QThreadPool::globalInstance()->waitForDone();
        state.ResumeTiming();

        QuietStdout quiet;
        QElapsedTimer clock;
        clock.start();
        run->addRecord(all.back());
        waitFor([&] { return run->imageRecords().size() == all.size(); });
        orderingMs += clock.nsecsElapsed() / 1e6;
        std::unique_lock<std::mutex> lock(mutex);
        ended.wait(lock, [&finished] { return finished; });
        if (!outcome.passed()) {
            state.SkipWithError(qPrintable(outcome.message));
            break;
        }
    }
    state.counters["ordering_ms"] = orderingMs / static_cast<double>(state.iterations());
}

// The downward pair's OpenCV calls alone, as the calibration makes them.
void BM_DownwardPairBareOpenCv(benchmark::State& state) {
    ImageData store;
    store.setOutputFolder(g_folder);
    store.startRun();
    for (const FeatureData& f : records()) {
        CMyCalculationPicThread task(0, QString());
        task.setAutoDelete(false);
        task.setRadius(kGeometry.radiusPx);
        task.setStore(&store);
        const int image = static_cast<int>(f.index) + (f.view == 5 ? ImageData::kSlotsPerPair : 0);
        task.startTask(image, f.view1, f.points, {f.size[0], f.size[1], f.size[2]},
                       cv::Mat(3, 3, CV_64F, const_cast<double*>(f.mat.data())).clone(), kScreen);
        task.run();
    }
    store.fixSortData();
    for (auto _ : state) {
        if (!BareOpenCvPair::calibrate(store, false)) {
            state.SkipWithError("OpenCV refused the downward pair");
            break;
        }
    }
}

}  // namespace

BENCHMARK(BM_LastRecordToOutcome)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_DownwardPairBareOpenCv)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

int main(int argc, char** argv) {
    PrivateHome home;
    g_folder = home.path() + QStringLiteral("/run");
    QDir().mkpath(g_folder + QStringLiteral("/log"));
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(silent);
    QThreadPool::globalInstance()->setMaxThreadCount(5);
    return runBenchmarks(argc, argv);
}
