// Cost of the run's computation on the simulated 2 x 26-view data set, split
// into its OpenCV stages, and of one depth-unit map conversion (file to file
// and in memory). Writes only under a temporary home.
#include "bench/BenchMain.h"
#include "bench/QuietStdout.h"
#include "Calibration/HiDPUInterface.h"
#include "Calibration/ImageData.h"
#include "tests/support/StereoRigSimulator.h"
#include "Calibration/hi_dpu_tool.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

#include <benchmark/benchmark.h>
#include <opencv2/calib3d.hpp>

#include <unistd.h>

#include <cfloat>
#include <cstdio>

namespace {

void silent(QtMsgType, const QMessageLogContext&, const QString&) {}

struct DataSet {
    std::vector<SimulatedView> forward = simulateViews(SimulatedRig::forward());
    std::vector<SimulatedView> downward = simulateViews(SimulatedRig::downward());
};

const DataSet& dataSet() {
    static const DataSet data;
    return data;
}

void fill(ImageData& store) {
    store.startRun();
    const DataSet& d = dataSet();
    for (int pair = 0; pair < 2; ++pair) {
        const auto& views = pair == 0 ? d.forward : d.downward;
        for (size_t v = 0; v < views.size(); ++v) {
            const int index = static_cast<int>(v) + pair * ImageData::kSlotsPerPair;
            store.storeSorted(index, 1, views[v].leftImage, views[v].leftBoard);
            store.storeSorted(index, 2, views[v].rightImage, views[v].rightBoard);
        }
    }
    store.fixSortData();
}

void BM_CalibrateBothPairs(benchmark::State& state) {
    ImageData store;
    for (auto _ : state) {
        state.PauseTiming();
        fill(store);
        state.ResumeTiming();
        QuietStdout quiet;
        const bool ok = store.calibration_front() && store.calibration_down();
        if (!ok) {
            state.SkipWithError("calibration failed");
            break;
        }
    }
}
BENCHMARK(BM_CalibrateBothPairs)->Unit(benchmark::kMillisecond)->UseRealTime();

// Stages of calibration_front, with the arguments it uses.
void BM_CalibrateOneCamera(benchmark::State& state) {
    ImageData store;
    fill(store);
    for (auto _ : state) {
        cv::Mat K, dist = cv::Mat::zeros(5, 1, CV_64F);
        std::vector<cv::Mat> r, t;
        benchmark::DoNotOptimize(cv::calibrateCamera(
            store.m_vecWorld_front, store.m_vecLeftPix_front, cv::Size(480, 640), K, dist, r, t, 0,
            cv::TermCriteria(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, 30, DBL_EPSILON)));
    }
}
BENCHMARK(BM_CalibrateOneCamera)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StereoCalibrateForward(benchmark::State& state) {
    ImageData store;
    fill(store);
    const SimulatedRig rig = SimulatedRig::forward();
    for (auto _ : state) {
        cv::Mat K1 = rig.left.K.clone(), D1 = rig.left.dist.clone();
        cv::Mat K2 = rig.right.K.clone(), D2 = rig.right.dist.clone();
        cv::Mat R, T, E, F;
        benchmark::DoNotOptimize(cv::stereoCalibrate(
            store.m_vecStereoWorld_front, store.m_vecStereoLeftPix_front,
            store.m_vecStereoRightPix_front, K1, D1, K2, D2, rig.imageSize, R, T, E, F,
            cv::CALIB_USE_INTRINSIC_GUESS,
            cv::TermCriteria(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, 100, 1e-5)));
    }
}
BENCHMARK(BM_StereoCalibrateForward)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RectifyAndMapsForward(benchmark::State& state) {
    const SimulatedRig rig = SimulatedRig::forward();
    for (auto _ : state) {
        cv::Mat R1, R2, P1, P2, Q, x1, y1, x2, y2;
        cv::stereoRectify(rig.left.K, rig.left.dist, rig.right.K, rig.right.dist, rig.imageSize,
                          rig.R, rig.T, R1, R2, P1, P2, Q, cv::CALIB_ZERO_DISPARITY, 0,
                          rig.imageSize);
        cv::initUndistortRectifyMap(rig.left.K, rig.left.dist, R1, P1, rig.imageSize, CV_32FC1, x1,
                                    y1);
        cv::initUndistortRectifyMap(rig.right.K, rig.right.dist, R2, P2, rig.imageSize, CV_32FC1,
                                    x2, y2);
        benchmark::DoNotOptimize(x2.data);
    }
}
BENCHMARK(BM_RectifyAndMapsForward)->Unit(benchmark::kMillisecond)->UseRealTime();

std::vector<float> sampleMap() {
    std::vector<float> map(480 * 640 * 2);
    for (int y = 0; y < 640; ++y) {
        for (int x = 0; x < 480; ++x) {
            map[(y * 480 + x) * 2] = x * 0.98f + 3.3f;
            map[(y * 480 + x) * 2 + 1] = y * 1.01f - 2.7f;
        }
    }
    return map;
}

void BM_ConvertMapFile(benchmark::State& state) {
    QTemporaryDir dir;
    const QString src = dir.filePath("480_640_0__LeftMap.dat");
    const QString dst = dir.filePath("480_640_1__LeftMap.dat");
    const std::vector<float> map = sampleMap();
    QFile f(src);
    f.open(QIODevice::WriteOnly);
    f.write(reinterpret_cast<const char*>(map.data()), qint64(map.size() * sizeof(float)));
    f.close();
    for (auto _ : state) {
        QuietStdout quiet;
        HiDPUInterface().outFile(src, dst, 480, 640);
    }
}
BENCHMARK(BM_ConvertMapFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ConvertMapInMemory(benchmark::State& state) {
    std::vector<float> map = sampleMap();
    std::vector<std::uint8_t> out(480 * 640 * 4 + 20);
    hi_dpu_tool_mem_info src{reinterpret_cast<std::uint8_t*>(map.data()),
                             static_cast<std::uint32_t>(map.size() * sizeof(float))};
    hi_dpu_tool_mem_info dst{out.data(), static_cast<std::uint32_t>(out.size())};
    for (auto _ : state) {
        benchmark::DoNotOptimize(hi_dpu_tool(&src, &dst, 480, 640));
    }
}
BENCHMARK(BM_ConvertMapInMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Crc32OfOneMap(benchmark::State& state) {
    std::vector<std::uint8_t> bytes(480 * 640 * 4 + 16, 0x5A);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            dpu_tool_calc_crc32(0, bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    }
}
BENCHMARK(BM_Crc32OfOneMap)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    PrivateHome home;  // log and map files
    qInstallMessageHandler(silent);
    return runBenchmarks(argc, argv);
}
