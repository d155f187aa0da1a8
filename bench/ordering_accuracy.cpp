// Accuracy of the circle-grid ordering over random synthetic views.
//
//   ordering_accuracy [views per row, default 500]
//
// Prints one markdown table row per scenario: the share of views stored with
// every entry right, stored with at least one wrong entry (must be 0), not
// stored, and the mean number of circles recovered per stored view against
// the mean number the ordering could place.

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/support/syntheticboard/OrderingCheck.h"
#include "bench/OrderingScenario.h"

namespace {

// The task's last log line, shown for views it did not store when
// ORDERING_ACCURACY_VERBOSE is set.
QString g_lastLine;

void keepLastLine(QtMsgType, const QMessageLogContext&, const QString& message) {
    if (!message.startsWith("CMyCalculationPicThread")) {
        g_lastLine = message;
    }
}

std::vector<OrderingScenario> scenarios() {
    std::vector<OrderingScenario> list;
    OrderingScenario base;
    base.name = "noise 0.1 px";
    list.push_back(base);

    OrderingScenario s = base;
    s.name = "noise 0.3 px";
    s.noisePx = 0.3;
    list.push_back(s);

    s = base;
    s.name = "noise 0.5 px";
    s.noisePx = 0.5;
    list.push_back(s);

    s = base;
    s.name = "in-plane rotation up to 15 deg";
    s.noisePx = 0.3;
    s.maxRollDeg = 15.0;
    list.push_back(s);

    s = base;
    s.name = "tilt up to 35 deg";
    s.noisePx = 0.3;
    s.maxTiltDeg = 35.0;
    list.push_back(s);

    s = base;
    s.name = "5 % circles missing";
    s.noisePx = 0.3;
    s.missingFraction = 0.05;
    list.push_back(s);

    s = base;
    s.name = "a third of the board outside";
    s.noisePx = 0.3;
    s.outsideFraction = 1.0 / 3.0;
    list.push_back(s);

    s = base;
    s.name = "forward camera 480x640, noise 0.3 px";
    s.camera = SyntheticCamera::forward();
    s.noisePx = 0.3;
    list.push_back(s);

    s = base;
    s.name = "all at once (0.5 px, 15 deg, 35 deg, 5 %)";
    s.noisePx = 0.5;
    s.maxRollDeg = 15.0;
    s.maxTiltDeg = 35.0;
    s.missingFraction = 0.05;
    list.push_back(s);

    // Beyond the conditions above: where the ordering gives up, it must give
    // up without storing.
    s = base;
    s.name = "stress: k1 -0.35, noise 1 px, 10 %, 35 deg, 15 deg";
    s.camera.distortion[0] = -0.35;
    s.camera.distortion[1] = 0.12;
    s.noisePx = 1.0;
    s.missingFraction = 0.10;
    s.maxTiltDeg = 35.0;
    s.maxRollDeg = 15.0;
    list.push_back(s);

    s = base;
    s.name = "stress: H corners off by 8 px, noise 0.5 px, 35 deg, 15 deg";
    s.homographyJitterPx = 8.0;
    s.noisePx = 0.5;
    s.maxTiltDeg = 35.0;
    s.maxRollDeg = 15.0;
    list.push_back(s);

    s = base;
    s.name = "stress: ring-cut centres off by 4 px, board fills 90-100 %";
    s.ringCutShiftPx = 4.0;
    s.noisePx = 0.3;
    s.minFill = 0.9;
    s.maxFill = 1.0;
    list.push_back(s);
    return list;
}

}  // namespace

int main(int argc, char* argv[]) {
    qInstallMessageHandler(keepLastLine);
    const bool verbose = qEnvironmentVariableIsSet("ORDERING_ACCURACY_VERBOSE");
    const long views = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 500;
    if (views <= 0) {
        std::fprintf(stderr, "usage: ordering_accuracy [views per row]\n");
        return 2;
    }
    const OrderingCheck check(kBenchRadius, kBenchScreenMm, kBenchScreenPx);

    std::printf(
        "| scenario | views | stored, 0 wrong | stored with wrong | not stored | "
        "mean recovered (stored) | mean placeable | max px error |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    int failures = 0;
    for (const OrderingScenario& scenario : scenarios()) {
        const SyntheticBoardView board(scenario.camera, check.gridUnitCm());
        long right = 0, wrong = 0, skipped = 0;
        double recovered = 0.0, placeable = 0.0, maxError = 0.0;
        for (long v = 0; v < views; ++v) {
            const OrderingScenario::Draw d = scenario.draw(board, static_cast<uint64_t>(v));
            const SyntheticView view = board.generate(d.pose, d.options, 1000u + v);
            g_lastLine.clear();
            const OrderingOutcome o = check.order(view);
            placeable += static_cast<double>(o.expected);
            if (!o.stored) {
                ++skipped;
                if (verbose) {
                    std::fprintf(stderr, "%s: view %ld not stored: %s\n", scenario.name.c_str(), v,
                                 qPrintable(g_lastLine));
                }
            } else if (o.wrong > 0) {
                ++wrong;
                std::fprintf(stderr, "%s: view %ld stored %zu entries, %zu wrong\n",
                             scenario.name.c_str(), v, o.recovered, o.wrong);
            } else {
                ++right;
                recovered += static_cast<double>(o.recovered);
                maxError = std::max(maxError, o.maxImageError);
            }
        }
        failures += wrong > 0 ? 1 : 0;
        const double n = static_cast<double>(views);
        std::printf("| %s | %ld | %.3f | %.3f | %.3f | %.1f | %.1f | %.4f |\n",
                    scenario.name.c_str(), views, right / n, wrong / n, skipped / n,
                    right > 0 ? recovered / static_cast<double>(right) : 0.0, placeable / n,
                    maxError);
        std::fflush(stdout);
    }
    return failures == 0 ? 0 : 1;
}
