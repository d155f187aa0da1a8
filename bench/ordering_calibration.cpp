// What the ordering costs the calibration: whole runs of ground-truth rigs,
// ordered by the ordering tasks and by the truth, calibrated alike and judged
// by the vertical disparity of rectified true correspondences.
//
//   ordering_calibration [generated rigs, default 8]
//
// Rows: the simulator's built-in rig at its own detection noise (0.15 px) and
// at 0.3 px, then generated rigs (seeds 1..N) at 0.3 px. Columns: coverage
// (circles placed right / placeable), circles placed wrong, images the
// ordering stored nothing for, the p95 vertical disparity of each pair with
// the ordering's and with the true lists, and the ratio of the worse pair's.

#include "tests/support/OrderedStereoRun.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/QuietStdout.h"

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

void printRow(const std::string& name, const StereoRunOutcome& o) {
    std::printf("| %s | %.2f %% | %zu | %d | %.3f / %.3f | %.3f / %.3f | %.2f |\n", name.c_str(),
                100.0 * o.coverage(), o.wrong, o.imagesDropped, o.ordered[0].verticalP95Px,
                o.truth[0].verticalP95Px, o.ordered[1].verticalP95Px, o.truth[1].verticalP95Px,
                o.worstOrdered() / o.worstTruth());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(quiet);
    const long generated = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 8;
    if (generated < 0) {
        std::fprintf(stderr, "usage: ordering_calibration [generated rigs]\n");
        return 2;
    }
    QTemporaryDir folder;
    std::printf(
        "| run | coverage | wrong | images not stored | forward p95 ordered / truth (px) | "
        "downward p95 ordered / truth (px) | worst ordered / worst truth |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    auto measure = [&folder](const Rig& rig, const StereoRunSettings& settings) {
        QuietStdout silence;
        return OrderedStereoRun::run(rig, settings, folder.path());
    };
    StereoRunSettings settings;
    settings.noisePx = 0.15;
    printRow("simulator rig, 0.15 px", measure(Rig::defaults(), settings));
    settings.noisePx = 0.3;
    printRow("simulator rig, 0.3 px", measure(Rig::defaults(), settings));
    for (long seed = 1; seed <= generated; ++seed) {
        settings.seed = static_cast<std::uint64_t>(seed);
        printRow(
            "generated rig " + std::to_string(seed) + ", 0.3 px",
            measure(OrderedStereoRun::generatedRig(static_cast<std::uint64_t>(seed)), settings));
    }
    return 0;
}
