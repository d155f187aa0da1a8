#pragma once

#include <cstddef>

#include "tests/support/syntheticboard/SyntheticBoardView.h"

class CMyCalculationPicThread;

// Runs the ordering task on one synthetic view and compares its result with
// the view's truth.
struct OrderingOutcome {
    bool stored = false;
    size_t recovered = 0;        // entries stored
    size_t wrong = 0;            // entries whose lattice position or point is not the truth
    size_t expected = 0;         // sent circles the ordering can place (see expectedCount)
    double maxImageError = 0.0;  // largest distance of a stored point from its image centre, px
};

class OrderingCheck {
public:
    // Screen the board is drawn on: radius in pixels, width in mm and pixels.
    OrderingCheck(float radius, float screenWidthMm, float screenWidthPx);

    // imageIndex/camera select the slot of a private store. Also reports the
    // task's own outputs through `task` when given.
    OrderingOutcome order(const SyntheticView& view, int imageIndex = 0, int camera = 1,
                          CMyCalculationPicThread* task = nullptr) const;

    // Sent circles the two tracing passes can reach and that are kept: every
    // circle except column 0 (odd rows) and the twelve ring-cut neighbours.
    static size_t expectedCount(const SyntheticView& view);
    static bool isPlaceable(cv::Point position);

    float gridUnitCm() const;

private:
    float m_radius;
    float m_screenWidthMm;
    float m_screenWidthPx;
};
