#include "tests/support/syntheticboard/OrderingCheck.h"

#include "Calibration/CMyCalculationPicThread.h"
#include "Calibration/ImageData.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

namespace {

using Key = std::pair<int, int>;

Key key(cv::Point p) {
    return {p.x, p.y};
}

// Every index and lattice position the lines of one pass list, found or not.
void collect(const CMyCalculationPicThread::TracedLines& lines, std::set<size_t>& found,
             std::set<Key>& reached) {
    for (const auto& line : lines.foundIdx) {
        found.insert(line.begin(), line.end());
    }
    for (const auto& line : lines.allGrid) {
        for (const cv::Point& p : line) {
            reached.insert(key(p));
        }
    }
}

}  // namespace

OrderingCheck::OrderingCheck(float radius, float screenWidthMm, float screenWidthPx)
    : m_radius(radius), m_screenWidthMm(screenWidthMm), m_screenWidthPx(screenWidthPx) {}

float OrderingCheck::gridUnitCm() const {
    return CMyCalculationPicThread::gridUnitCm(m_radius, {m_screenWidthMm, m_screenWidthPx});
}

bool OrderingCheck::isPlaceable(cv::Point position) {
    return !SyntheticBoardView::isRingCut(position);
}

size_t OrderingCheck::expectedCount(const SyntheticView& view) {
    return static_cast<size_t>(std::count_if(view.lattice.begin(), view.lattice.end(),
                                             [](cv::Point p) { return isPlaceable(p); }));
}

CirclePlace OrderingCheck::placeOf(const SyntheticView& view, size_t index) {
    const cv::Point p = view.lattice[index];
    for (const cv::Point d :
         {cv::Point(-1, -1), cv::Point(1, -1), cv::Point(-1, 1), cv::Point(1, 1)}) {
        if (std::find(view.visibleLattice.begin(), view.visibleLattice.end(), p + d) ==
            view.visibleLattice.end()) {
            return CirclePlace::Border;
        }
    }
    for (const cv::Point& mark : SyntheticBoardView::kMarks) {
        if (std::abs(p.x - mark.x) <= 2 && std::abs(p.y - mark.y) <= 2) {
            return CirclePlace::NearMark;
        }
    }
    return CirclePlace::Interior;
}

// An outcome whose every sent circle has the fate of a stored view that did not
// place it (`unplaced`), or of a dropped view; ring-cut circles apart.
OrderingOutcome OrderingCheck::firstFates(const SyntheticView& view, bool stored,
                                          CircleFate unplaced) {
    OrderingOutcome outcome;
    outcome.expected = expectedCount(view);
    outcome.stored = stored;
    const size_t n = view.lattice.size();
    outcome.fates.assign(n, stored ? unplaced : CircleFate::ViewDropped);
    for (size_t i = 0; i < n; ++i) {
        outcome.places.push_back(placeOf(view, i));
        if (!isPlaceable(view.lattice[i])) {
            outcome.fates[i] = CircleFate::RingCut;
        }
    }
    return outcome;
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

    OrderingOutcome outcome = firstFates(view, task.stored(), CircleFate::NotTraced);
    const size_t n = view.lattice.size();
    if (!outcome.stored) {
        return outcome;
    }

    std::set<size_t> found;
    std::set<Key> reached;
    collect(task.tracedLines(), found, reached);
    collect(task.savedLines(), found, reached);
    for (size_t i = 0; i < n; ++i) {
        if (outcome.fates[i] == CircleFate::RingCut) {
            continue;
        }
        if (found.count(i) > 0) {
            outcome.fates[i] = CircleFate::CheckRemoved;
        } else if (reached.count(key(view.lattice[i])) > 0) {
            outcome.fates[i] = CircleFate::TracingMissed;
        }
    }

    const bool grown = task.grownFromMarks();
    if (grown) {
        for (CircleFate& fate : outcome.fates) {
            fate = fate == CircleFate::RingCut ? fate : CircleFate::NotGrown;
        }
    }
    const float unit = task.gridUnit();
    const auto& indices = task.sortedIndices();
    const auto& grid = task.sortedGrid();
    const auto& points = task.sortedImagePoints();
    const auto& objects = task.objectPoints();
    outcome.recovered = points.size();
    for (size_t e = 0; e < points.size(); ++e) {
        const size_t i = indices[e];
        const bool detected = i < n;
        const bool placed = detected && grid[e] == view.lattice[i];
        const bool object =
            objects[e].x == static_cast<float>(view.lattice[detected ? i : 0].x) * unit &&
            objects[e].y == static_cast<float>(view.lattice[detected ? i : 0].y) * unit &&
            objects[e].z == 0.0f;
        if (!placed || !object) {
            ++outcome.wrong;
            if (detected) {
                outcome.fates[i] = CircleFate::Wrong;
            }
            continue;
        }
        ++outcome.assigned;
        outcome.fates[i] = grown                      ? CircleFate::Grown
                           : e < task.tracedEntries() ? CircleFate::Traced
                                                      : CircleFate::Completed;
        const cv::Point2f d = points[e] - view.imageCentres[i];
        outcome.maxImageError =
            std::max(outcome.maxImageError, std::hypot(double(d.x), double(d.y)));
    }
    return outcome;
}

OrderingOutcome OrderingCheck::orderFromMarks(const SyntheticView& view) const {
    CMyCalculationPicThread task(0, QString());
    task.setRadius(m_radius);
    task.startTask(0, 1, view.centres, view.marks, view.homography,
                   {m_screenWidthMm, m_screenWidthPx});
    const size_t n = view.lattice.size();
    CMyCalculationPicThread::LatticeDirections directions;
    std::vector<size_t> indices;
    std::vector<cv::Point> grid;
    const std::vector<cv::Point2f> kept = task.checkSecondCirclesNeighbor_diff(
        task.findSecondNeighbor_diff(task.findCirclesNeighbor()));

    const bool stored = task.findSecondCirclesNeighbor_Idx(kept, directions) ==
                            CMyCalculationPicThread::DirectionStatus::Found &&
                        task.growFromMarks(directions, indices, grid, n);
    OrderingOutcome outcome = firstFates(view, stored, CircleFate::NotGrown);
    outcome.recovered = outcome.stored ? indices.size() : 0;
    for (size_t e = 0; e < outcome.recovered; ++e) {
        const size_t i = indices[e];
        if (i < n && grid[e] == view.lattice[i]) {
            ++outcome.assigned;
            outcome.fates[i] = CircleFate::Grown;
        } else {
            ++outcome.wrong;
            if (i < n) {
                outcome.fates[i] = CircleFate::Wrong;
            }
        }
    }
    return outcome;
}
