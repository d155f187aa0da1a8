#pragma once

#include <cstddef>
#include <vector>

#include "tests/support/syntheticboard/SyntheticBoardView.h"

class CMyCalculationPicThread;

// Where one sent circle ended up after the ordering task, for the loss
// analysis of the ordering.
enum class CircleFate {
    Traced,         // placed right by the line tracing
    Completed,      // placed right by the completion after the tracing
    Wrong,          // placed at a lattice position that is not its own
    RingCut,        // cut by a mark ring: left out by design, not placeable
    ViewDropped,    // the task stored nothing for the view
    NotTraced,      // its position lies on no traced line (column 0 of odd rows, ...)
    TracingMissed,  // a traced line reached its position without matching it
    CheckRemoved,   // matched by the tracing, then removed by the result checks
    Grown,          // placed right from the marks, the traced lines being rejected
    NotGrown,       // placed from the marks: not reached, or removed by the check
};

// Where a circle sits in what the camera saw.
enum class CirclePlace {
    Border,    // a diagonal neighbour position is off the board or outside the image
    NearMark,  // within two lattice steps of a mark (ring-cut circles aside)
    Interior,
};

// Runs the ordering task on one synthetic view and compares its result with
// the view's truth.
struct OrderingOutcome {
    bool stored = false;
    size_t recovered = 0;        // entries stored
    size_t wrong = 0;            // entries whose lattice position or point is not the truth
    size_t expected = 0;         // sent circles that can be placed (see isPlaceable)
    size_t assigned = 0;         // sent circles stored at their true position
    double maxImageError = 0.0;  // largest distance of a stored point from its image centre, px
    // One per sent circle, in sent order.
    std::vector<CircleFate> fates;
    std::vector<CirclePlace> places;
};

class OrderingCheck {
public:
    // Screen the board is drawn on: radius in pixels, width in mm and pixels.
    OrderingCheck(float radius, float screenWidthMm, float screenWidthPx);

    // imageIndex/camera select the slot of a private store. Also reports the
    // task's own outputs through `task` when given.
    OrderingOutcome order(const SyntheticView& view, int imageIndex = 0, int camera = 1,
                          CMyCalculationPicThread* task = nullptr) const;
    // The view ordered from the marks alone (the task's stages up to the
    // lattice directions, then growFromMarks), whatever the tracing would
    // have made of it; `stored` means growFromMarks gave a result.
    // maxImageError is not measured.
    OrderingOutcome orderFromMarks(const SyntheticView& view) const;

    // Sent circles the ordering should place: every one except the twelve
    // ring-cut neighbours of the marks.
    static size_t expectedCount(const SyntheticView& view);
    static bool isPlaceable(cv::Point position);
    static CirclePlace placeOf(const SyntheticView& view, size_t index);

    float gridUnitCm() const;

private:
    static OrderingOutcome firstFates(const SyntheticView& view, bool stored, CircleFate unplaced);

    float m_radius;
    float m_screenWidthMm;
    float m_screenWidthPx;
};
