#include "tests/support/syntheticboard/OrderingCheck.h"

#include "Calibration/CMyCalculationPicThread.h"
#include "Calibration/ImageData.h"

#include <cmath>

OrderingCheck::OrderingCheck(float radius, float screenWidthMm, float screenWidthPx)
    : m_radius(radius), m_screenWidthMm(screenWidthMm), m_screenWidthPx(screenWidthPx) {}

float OrderingCheck::gridUnitCm() const {
    return CMyCalculationPicThread::gridUnitCm(m_radius, {m_screenWidthMm, m_screenWidthPx});
}

bool OrderingCheck::isPlaceable(cv::Point position) {
    return position.x != 0 && !SyntheticBoardView::isRingCut(position);
}

size_t OrderingCheck::expectedCount(const SyntheticView& view) {
    size_t count = 0;
    for (const cv::Point& p : view.lattice) {
        count += isPlaceable(p) ? 1 : 0;
    }
    return count;
}

OrderingOutcome OrderingCheck::order(const SyntheticView& view, int imageIndex, int camera,
                                     CMyCalculationPicThread* given) const {
    ImageData store;
    store.startRun();
    CMyCalculationPicThread local(0, QString());
    CMyCalculationPicThread& task = given ? *given : local;
    task.setRadius(m_radius);
    task.setStore(&store);
    task.startTask(static_cast<unsigned long>(imageIndex), static_cast<unsigned long>(camera),
                   view.centres, view.marks, view.homography, {m_screenWidthMm, m_screenWidthPx});
    task.run();

    OrderingOutcome outcome;
    outcome.expected = expectedCount(view);
    outcome.stored = task.stored();
    if (!outcome.stored) {
        return outcome;
    }
    const float unit = task.gridUnit();
    const auto& indices = task.sortedIndices();
    const auto& grid = task.sortedGrid();
    const auto& points = task.sortedImagePoints();
    const auto& objects = task.objectPoints();
    outcome.recovered = points.size();
    for (size_t e = 0; e < points.size(); ++e) {
        const size_t i = indices[e];
        const bool detected = i < view.lattice.size();
        const bool placed = detected && grid[e] == view.lattice[i];
        const bool object =
            objects[e].x == static_cast<float>(view.lattice[detected ? i : 0].x) * unit &&
            objects[e].y == static_cast<float>(view.lattice[detected ? i : 0].y) * unit &&
            objects[e].z == 0.0f;
        if (!placed || !object) {
            ++outcome.wrong;
            continue;
        }
        const cv::Point2f d = points[e] - view.imageCentres[i];
        outcome.maxImageError =
            std::max(outcome.maxImageError, std::hypot(double(d.x), double(d.y)));
    }
    return outcome;
}
