#pragma once

#include "Calibration/CMyCalculationPicThread.h"
#include "tests/support/DroneFeatureModel.h"

#include <QByteArray>

#include <vector>

// A whole run's record as the data channel writes it: the header with the
// board geometry, then the feature packets of all 52 images of both cameras
// (forward pair, then downward), one received chunk each, in the order the
// drone sends them.
namespace SyntheticRunRecord {

struct Geometry {
    int radiusPx = 35;
    double screenWidthMm = 344.2286;
    int screenWidthPx = 1920;
};

// boardScale: how much larger the board the drone saw is than the one the
// header describes (1 = the same board; 1.1 makes the baseline 10 % long).
QByteArray build(const Geometry& geometry = {}, float boardScale = 1.0f);

// The same run's 104 feature records, parsed, in the order the drone sends
// them (forward pair, then downward; per image left, then right).
std::vector<FeatureData> features(const Geometry& geometry = {}, float boardScale = 1.0f);

// The screen of the geometry, as the ordering takes it.
CMyCalculationPicThread::ScreenMetrics screen(const Geometry& geometry = {});

}  // namespace SyntheticRunRecord
