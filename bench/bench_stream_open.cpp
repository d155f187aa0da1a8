// The desktop's camera stream reader against the drone simulator: time from
// openVideo to the first decoded frame (manual time, one open per iteration,
// cycling through the four cameras) and the steady frame rate of one stream.
// Starts the simulator on 127.0.0.79 itself; DRONESIM_PATH is its executable.
#include "tests/support/DroneSimProcess.h"
#include "video/VideoShow.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

const QString kAddress = QStringLiteral("127.0.0.79");

struct Reader {
    VideoShow video;
    std::atomic<int> frames{0};
    Reader() {
        QObject::connect(
            &video, &VideoShow::imageframe, &video, [this](QImage) { ++frames; },
            Qt::DirectConnection);
    }
};

bool waitFor(const std::atomic<int>& counter, int atLeast, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (counter.load() < atLeast) {
        if (clock.elapsed() > timeoutMs)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

void BM_OpenToFirstFrame(benchmark::State& state) {
    Reader reader;
    int camera = 0;
    for (auto _ : state) {
        reader.frames = 0;
        const auto start = std::chrono::steady_clock::now();
        reader.video.openVideo(static_cast<VideoShow::VideoPosition>(camera));
        if (!waitFor(reader.frames, 1, 10000)) {
            state.SkipWithError("no frame within 10 s");
            break;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        camera = (camera + 1) % 4;
    }
    reader.video.quitVideo();
}
BENCHMARK(BM_OpenToFirstFrame)->UseManualTime()->Iterations(12)->Unit(benchmark::kMillisecond);

void BM_SteadyFrameRate(benchmark::State& state) {
    Reader reader;
    reader.video.openVideo(VideoShow::ForwardLeft);
    if (!waitFor(reader.frames, 3, 10000)) {
        state.SkipWithError("stream did not start");
        return;
    }
    double fps = 0;
    for (auto _ : state) {
        const int before = reader.frames;
        std::this_thread::sleep_for(std::chrono::seconds(3));
        fps = (reader.frames - before) / 3.0;
    }
    state.counters["fps"] = fps;
    reader.video.quitVideo();
}
BENCHMARK(BM_SteadyFrameRate)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    DroneSimProcess sim{QStringLiteral(DRONESIM_PATH)};
    if (!sim.start(kAddress)) {
        std::fprintf(stderr, "dronesim did not start:\n%s\n", qPrintable(sim.errorOutput()));
        return 1;
    }
    qputenv("NIMBRA_DEVICE_ADDRESS", kAddress.toLatin1());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
