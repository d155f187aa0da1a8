#include "bench/OrderingScenario.h"

#include <cmath>

OrderingScenario OrderingScenario::strongDistortion() {
    OrderingScenario s;
    s.name = "stress: k1 -0.35, noise 1 px, 10 %, 35 deg, 15 deg";
    s.camera.distortion[0] = -0.35;
    s.camera.distortion[1] = 0.12;
    s.noisePx = 1.0;
    s.missingFraction = 0.10;
    s.maxTiltDeg = 35.0;
    s.maxRollDeg = 15.0;
    return s;
}

OrderingScenario::Draw OrderingScenario::draw(const SyntheticBoardView& board,
                                              uint64_t view) const {
    std::mt19937_64 rng(0x0b0a4dULL * 1000003ULL + view);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    auto between = [&](double low, double high) { return low + (high - low) * unit(rng); };

    Draw d;
    d.pose.rollDeg = between(-maxRollDeg, maxRollDeg);
    d.pose.tiltDeg = between(0.0, maxTiltDeg);
    d.pose.tiltAxisDeg = between(0.0, 360.0);
    d.pose.fill = between(minFill, maxFill);
    d.pose.shift = {between(-maxShift, maxShift), between(-maxShift, maxShift)};
    d.options.noisePx = noisePx;
    d.options.missingFraction = missingFraction;
    d.options.ringCutShiftPx = ringCutShiftPx;
    d.options.residualRotationDeg = d.pose.rollDeg;
    d.options.homographyJitterPx = homographyJitterPx;

    if (outsideFraction > 0.0) {
        // Slide the board towards one image edge until the wanted share of its
        // circles has left the picture.
        const double angle = between(0.0, 6.283185307179586);
        const cv::Point2d direction(std::cos(angle), std::sin(angle));
        const double keep = 270.0 * (1.0 - outsideFraction);
        SyntheticOptions probe;
        probe.shuffle = false;
        for (double s = 0.0; s < 1.5; s += 0.005) {
            d.pose.shift = direction * s;
            if (static_cast<double>(board.generate(d.pose, probe, 0).visibleCount) <= keep) {
                break;
            }
        }
    }
    return d;
}
