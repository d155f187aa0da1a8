// Cost of drawing the simulator's camera views: a frame of a pose already in the
// renderer's cache (what every stream pays per frame) and a frame of a new pose
// (sampling maps built from the cached per-pixel rays).
#include "tools/dronesim/BoardImage.h"
#include "tools/dronesim/CameraViewRenderer.h"
#include "tools/dronesim/Rig.h"

#include <benchmark/benchmark.h>

namespace {

struct Scene {
    Rig rig = Rig::defaults();
    BoardImage board{26, 0.9324};
    CameraViewRenderer renderer{rig, board};
};

Scene& scene() {
    static Scene s;
    return s;
}

void BM_CachedPoseFrame(benchmark::State& state) {
    const SimCamera camera = SimCamera(state.range(0));
    cv::Mat frame;
    scene().renderer.render(camera, 4, frame);
    for (auto _ : state) {
        scene().renderer.render(camera, 4, frame);
        benchmark::DoNotOptimize(frame.data);
    }
}
BENCHMARK(BM_CachedPoseFrame)->Arg(0)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_NewPoseFrame(benchmark::State& state) {
    const SimCamera camera = SimCamera(state.range(0));
    cv::Mat frame;
    scene().renderer.render(camera, 0, frame);  // rays of this camera computed once
    int pose = 0;
    for (auto _ : state) {
        // 26 poses cycle through a 12-entry cache: every frame misses.
        scene().renderer.render(camera, pose, frame);
        pose = (pose + 1) % Rig::kImagesPerCamera;
        benchmark::DoNotOptimize(frame.data);
    }
}
BENCHMARK(BM_NewPoseFrame)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
