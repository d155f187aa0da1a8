// Time of the circle-grid ordering of one image.
//
//   ordering_benchmark [--benchmark_repetitions=N ...]
//
// BM_Run/board: a whole task, from run() to the store, on a synthetic
// 270-circle view (distorted camera, 0.3 px noise). BM_Stage_*: each stage of
// that run on its own, for the stage shares (BM_Stage_7_Completion/K: the
// completion placing K circles taken out of the result; BM_Stage_8: the
// whole board placed from the marks). BM_Run/rejected-tracing: a whole task
// on a view whose traced lines are rejected. BM_RunPoints/N: whole runs on
// staggered patches of N circles (60, 135, 270, 540) seen straight on, for
// the growth with the number of points. OpenCV runs single-threaded here.

#include "bench/BenchMain.h"

#include <benchmark/benchmark.h>

#include <QtGlobal>

#include "Calibration/CMyCalculationPicThread.h"
#include "Calibration/ImageData.h"
#include "bench/OrderingScenario.h"

#include <algorithm>
#include <random>

namespace {

using Task = CMyCalculationPicThread;

void quiet(QtMsgType, const QMessageLogContext&, const QString& message) {
    if (qEnvironmentVariableIsSet("ORDERING_BENCHMARK_LOG")) {
        fprintf(stderr, "%s\n", qPrintable(message));
    }
}

struct Input {
    std::vector<cv::Point2f> centres;
    std::vector<size_t> marks;
    cv::Mat homography;
};

const Task::ScreenMetrics kScreen{kBenchScreenMm, kBenchScreenPx};

Input boardView() {
    OrderingScenario scenario;
    scenario.noisePx = 0.3;
    const SyntheticBoardView board(scenario.camera, Task::gridUnitCm(kBenchRadius, kScreen));
    const OrderingScenario::Draw d = scenario.draw(board, 1);
    const SyntheticView view = board.generate(d.pose, d.options, 1001);
    return {view.centres, view.marks, view.homography};
}

// A staggered patch of `columns` x `rows` lattice positions, 20 px per step,
// with 0.3 px noise; the marks sit where the board has them relative to each
// other, (11, 12) and (12, 7), shifted to fit the patch.
Input patch(int columns, int rows) {
    std::mt19937 rng(11);
    std::normal_distribution<float> noise(0.0f, 0.3f);
    const cv::Point first(11, std::min(12, rows - 2));
    const cv::Point second(first.x + 1, first.y - 5);
    Input input;
    input.marks.assign(3, 0);
    std::vector<std::pair<cv::Point, cv::Point2f>> circles;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            if ((x + y) % 2 == 1) {
                circles.push_back(
                    {{x, y}, {40.0f + 20.0f * x + noise(rng), 40.0f + 20.0f * y + noise(rng)}});
            }
        }
    }
    std::shuffle(circles.begin() + 1, circles.end(), rng);
    for (size_t i = 0; i < circles.size(); ++i) {
        input.centres.push_back(circles[i].second);
        if (circles[i].first == first) {
            input.marks[0] = i;
        } else if (circles[i].first == second) {
            input.marks[2] = i;
        }
    }
    input.homography = cv::Mat::eye(3, 3, CV_64F);
    return input;
}

void start(Task& task, const Input& input, ImageData& store) {
    task.setRadius(kBenchRadius);
    task.setStore(&store);
    task.startTask(0, 1, input.centres, input.marks, input.homography, kScreen);
}

void runTask(benchmark::State& state, const Input& input) {
    ImageData store;
    store.startRun();
    Task task(0, QString());
    size_t stored = 0;
    for (auto _ : state) {
        state.PauseTiming();
        start(task, input, store);
        state.ResumeTiming();
        task.run();
        stored += task.stored() ? 1 : 0;
    }
    if (stored != static_cast<size_t>(state.iterations())) {
        state.SkipWithError("the view was not stored");
    }
    state.counters["points"] = static_cast<double>(input.centres.size());
    state.counters["stored"] = static_cast<double>(task.sortedImagePoints().size());
}

void BM_Run(benchmark::State& state) {
    runTask(state, boardView());
}
BENCHMARK(BM_Run)->Name("BM_Run/board")->Unit(benchmark::kMicrosecond);

// A whole task on a view whose traced lines are rejected (strong barrel
// distortion, 1 px noise, 10 % missing, steep tilt), so that the board is
// placed from the marks after the tracing.
void BM_RunRejectedTracing(benchmark::State& state) {
    const OrderingScenario scenario = OrderingScenario::strongDistortion();
    const SyntheticBoardView board(scenario.camera, Task::gridUnitCm(kBenchRadius, kScreen));
    const OrderingScenario::Draw d = scenario.draw(board, 23);
    const SyntheticView view = board.generate(d.pose, d.options, 1023);
    runTask(state, {view.centres, view.marks, view.homography});
}
BENCHMARK(BM_RunRejectedTracing)->Name("BM_Run/rejected-tracing")->Unit(benchmark::kMicrosecond);

void BM_RunPoints(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    // 27 columns hold 13.5 circles per row on average; 60 circles as 15 x 8.
    const Input input = n == 60 ? patch(15, 8) : patch(27, n * 2 / 27);
    runTask(state, input);
    state.SetComplexityN(static_cast<int64_t>(input.centres.size()));
}
BENCHMARK(BM_RunPoints)
    ->Arg(60)
    ->Arg(135)
    ->Arg(270)
    ->Arg(540)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity();

// The stages of one board run, each timed alone on the output of the ones
// before.
struct Stages {
    Input input = boardView();
    ImageData store;
    Task task{0, QString()};
    CMyGraph graph;
    std::vector<cv::Point2f> bends;
    std::vector<cv::Point2f> kept;
    Task::LatticeDirections directions;

    Stages() {
        store.startRun();
        start(task, input, store);
        graph = task.findCirclesNeighbor();
        bends = task.findSecondNeighbor_diff(graph);
        kept = task.checkSecondCirclesNeighbor_diff(bends);
        task.findSecondCirclesNeighbor_Idx(kept, directions);
    }
    void trace() {
        const size_t n = input.centres.size();
        task.findMCS(directions, n, input.marks[0], {11, 12}, 0);
        task.findMCS(directions, n, input.marks[2], {12, 7}, 1);
    }
};

Stages& stages() {
    static Stages s;
    return s;
}

void BM_Stage_1_Graph(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(stages().task.findCirclesNeighbor());
    }
}
void BM_Stage_2_Bends(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(stages().task.findSecondNeighbor_diff(stages().graph));
    }
}
void BM_Stage_3_Density(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(stages().task.checkSecondCirclesNeighbor_diff(stages().bends));
    }
}
void BM_Stage_4_KMeans(benchmark::State& state) {
    Task::LatticeDirections directions;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            stages().task.findSecondCirclesNeighbor_Idx(stages().kept, directions));
    }
}
void BM_Stage_5_Tracing(benchmark::State& state) {
    Stages& s = stages();
    for (auto _ : state) {
        state.PauseTiming();
        start(s.task, s.input, s.store);
        state.ResumeTiming();
        s.trace();
    }
}
void BM_Stage_6_AssembleAndStore(benchmark::State& state) {
    Stages& s = stages();
    start(s.task, s.input, s.store);
    s.trace();
    const size_t n = s.input.centres.size();
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.task.arrangeSortResult(n));
        s.store.storeSorted(0, 1, s.task.sortedImagePoints(), s.task.objectPoints());
    }
}
// The completion alone: the board run's result with `open` of its circles
// taken out again (spread over the board), to be placed back.
void BM_Stage_7_Completion(benchmark::State& state) {
    Stages& s = stages();
    start(s.task, s.input, s.store);
    s.trace();
    const size_t n = s.input.centres.size();
    s.task.arrangeSortResult(n);
    const size_t open = static_cast<size_t>(state.range(0));
    const size_t stride = std::max<size_t>(1, s.task.sortedIndices().size() / open);
    std::vector<size_t> keptIdx;
    std::vector<cv::Point> keptGrid;
    for (size_t e = 0; e < s.task.sortedIndices().size(); ++e) {
        if (e % stride != 0 || e / stride >= open) {
            keptIdx.push_back(s.task.sortedIndices()[e]);
            keptGrid.push_back(s.task.sortedGrid()[e]);
        }
    }
    size_t added = 0;
    for (auto _ : state) {
        std::vector<size_t> idx = keptIdx;
        std::vector<cv::Point> grid = keptGrid;
        added = s.task.completeAssignment(idx, grid, {}, {}, n);
    }
    state.counters["open"] = static_cast<double>(s.task.sortedIndices().size() - keptIdx.size());
    state.counters["placed"] = static_cast<double>(added);
}

// The board placed from the marks alone, as when the traced lines are
// rejected: every circle of the board run grown from the marks.
void BM_Stage_8_GrowFromMarks(benchmark::State& state) {
    Stages& s = stages();
    start(s.task, s.input, s.store);
    const size_t n = s.input.centres.size();
    std::vector<size_t> idx;
    std::vector<cv::Point> grid;
    bool grown = false;
    for (auto _ : state) {
        grown = s.task.growFromMarks(s.directions, idx, grid, n);
    }
    if (!grown) {
        state.SkipWithError("the board was not grown from the marks");
    }
    state.counters["placed"] = static_cast<double>(idx.size());
}

BENCHMARK(BM_Stage_1_Graph)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Stage_2_Bends)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Stage_3_Density)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Stage_4_KMeans)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Stage_5_Tracing)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Stage_6_AssembleAndStore)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Stage_7_Completion)->Arg(10)->Arg(40)->Arg(160)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Stage_8_GrowFromMarks)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(quiet);
    // One image's cost on one core: the pool spreads images over its threads,
    // and OpenCV's own workers would hide part of the clustering from the
    // CPU time and make the wall time depend on the machine's load.
    cv::setNumThreads(1);
    return runBenchmarks(argc, argv);
}
