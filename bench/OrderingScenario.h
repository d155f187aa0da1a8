#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "tests/support/syntheticboard/SyntheticBoardView.h"

// Random views for the ordering measurements: each scenario draws a pose and
// options per view from its ranges (uniform), with a per-view seed.
struct OrderingScenario {
    std::string name;
    SyntheticCamera camera = SyntheticCamera::downward();
    double noisePx = 0.1;
    double maxRollDeg = 5.0;  // the sent frame keeps this rotation (H removes tilt only)
    double maxTiltDeg = 15.0;
    double minFill = 0.6;
    double maxFill = 0.85;
    double maxShift = 0.05;
    double missingFraction = 0.0;
    double outsideFraction = 0.0;  // share of the board pushed out of the image
    double ringCutShiftPx = 1.0;
    double homographyJitterPx = 2.0;

    struct Draw {
        SyntheticPose pose;
        SyntheticOptions options;
    };
    // Far more barrel distortion than the drone's lenses (k1 -0.35, k2
    // 0.12), 1 px noise, 10 % of the circles missing, tilt up to 35 and roll
    // up to 15 degrees.
    static OrderingScenario strongDistortion();

    // The pose and options of view number `view`.
    Draw draw(const SyntheticBoardView& board, uint64_t view) const;
};

// Board and screen shared by the measurements: radius 19 px on a 344 mm,
// 1440 px wide screen.
constexpr float kBenchRadius = 19.0f;
constexpr float kBenchScreenMm = 344.0f;
constexpr float kBenchScreenPx = 1440.0f;
