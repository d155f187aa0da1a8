// Sorted result assembly of CMyCalculationPicThread.

#include "Calibration/CMyCalculationPicThread.h"

#include "Calibration/LatticeFit.h"

#include <QDebug>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <utility>

#include <opencv2/calib3d.hpp>

namespace {

// The white rings around the marks cut into these circles on the screen, so
// the drone's centres for them are biased; the marks themselves stay.
const std::array<cv::Point, 12> kRingCutPositions = {{
    {11, 6},
    {13, 6},
    {11, 8},
    {13, 8},  // around (12, 7)
    {10, 11},
    {12, 11},
    {10, 13},
    {12, 13},  // around (11, 12)
    {14, 11},
    {16, 11},
    {14, 13},
    {16, 13},  // around (15, 12)
}};

bool isRingCut(cv::Point position) {
    return std::find(kRingCutPositions.begin(), kRingCutPositions.end(), position) !=
           kRingCutPositions.end();
}

void appendFoundLines(const CMyCalculationPicThread::TracedLines& lines,
                      std::vector<size_t>& indices, std::vector<cv::Point>& grid) {
    for (size_t l = 0; l < lines.foundIdx.size() && l < lines.foundGrid.size(); ++l) {
        const auto& lineIdx = lines.foundIdx[l];
        const auto& lineGrid = lines.foundGrid[l];
        for (size_t e = 0; e < lineIdx.size() && e < lineGrid.size(); ++e) {
            indices.push_back(lineIdx[e]);
            grid.push_back(lineGrid[e]);
        }
    }
}

}  // namespace

CMyCalculationPicThread::Consistency CMyCalculationPicThread::checkLocalConsistency(
    std::vector<size_t>& indices, std::vector<cv::Point>& grid, double maxLeverage) const {
    std::map<std::pair<int, int>, size_t> entryAt;
    for (size_t e = 0; e < grid.size(); ++e) {
        entryAt[{grid[e].x, grid[e].y}] = e;
    }

    std::vector<char> verified(grid.size(), 0);
    std::vector<LatticeFit::Neighbour> neighbours;
    for (size_t e = 0; e < grid.size(); ++e) {
        neighbours.clear();
        for (const cv::Point& offset : LatticeFit::kWindow) {
            const auto it = entryAt.find({grid[e].x + offset.x, grid[e].y + offset.y});
            if (it != entryAt.end()) {
                neighbours.push_back({offset, m_vecCentres[indices[it->second]]});
            }
        }
        const cv::Point2f p = m_vecCentres[indices[e]];
        // The fit over all neighbours, then each fit that leaves one more
        // neighbour out: two wrong entries shifted alike can hide each other
        // in the first, not in the one without the other. The tolerance is
        // in local lattice units, since lens distortion the drone's H does
        // not remove can halve the steps near the image corners.
        LatticeFit::Affine fit;
        if (!LatticeFit::fit(neighbours, neighbours.size(), 3, fit) ||
            LatticeFit::leverage(neighbours, neighbours.size()) > maxLeverage) {
            continue;
        }
        for (size_t skip = neighbours.size() + 1; skip-- > 0;) {
            if (skip < neighbours.size() &&
                (!LatticeFit::fit(neighbours, skip, 4, fit) ||
                 LatticeFit::leverage(neighbours, skip) > maxLeverage)) {
                continue;
            }
            const cv::Point2d expected = fit.at({0.0, 0.0});
            const double residual = std::hypot(p.x - expected.x, p.y - expected.y);
            if (!(residual <= m_fConsistencyTolerance * fit.unit())) {
                qDebug() << "-------5.circle off its lattice position--------" << indices[e]
                         << grid[e].x << grid[e].y << residual;
                return Consistency::Inconsistent;
            }
        }
        verified[e] = 1;
    }

    size_t kept = 0;
    for (size_t e = 0; e < grid.size(); ++e) {
        if (verified[e]) {
            indices[kept] = indices[e];
            grid[kept] = grid[e];
            ++kept;
        }
    }
    const bool dropped = kept != grid.size();
    indices.resize(kept);
    grid.resize(kept);
    return dropped ? Consistency::DroppedUnverified : Consistency::Consistent;
}

bool CMyCalculationPicThread::isRingCutPosition(cv::Point position) {
    return isRingCut(position);
}

bool CMyCalculationPicThread::arrangeSortResult(size_t detectedCount,
                                                const LatticeDirections* directions) {
    m_nTracedEntries = 0;
    m_bGrownFromMarks = false;
    m_vecSortedImagePoints.clear();
    m_vecObjectPoints.clear();
    m_vecSortedIdx.clear();
    m_vecSortedGrid.clear();

    // Second pass (odd rows, from mark 2) first, then the first pass.
    std::vector<size_t> all;
    std::vector<cv::Point> allGrid;
    appendFoundLines(m_lines, all, allGrid);
    appendFoundLines(m_savedLines, all, allGrid);

    // The passes cover rows of opposite parity, so a circle listed twice got
    // two lattice positions and at least one of them is wrong.
    bool rejected = false;
    QString why;  // for the drop reason, when the board cannot be placed at all
    std::vector<char> listed(m_vecCentres.size(), 0);
    for (size_t index : all) {
        if (index >= detectedCount || index >= m_vecCentres.size() || listed[index]) {
            qDebug() << "-------5.circle listed twice--------" << index;
            rejected = true;
            why = QStringLiteral("circle %1 was traced at two board positions").arg(index);
            break;
        }
        listed[index] = 1;
    }

    std::vector<size_t> indices;
    std::vector<cv::Point> grid;
    for (size_t e = 0; !rejected && e < all.size(); ++e) {
        if (!isRingCut(allGrid[e])) {
            indices.push_back(all[e]);
            grid.push_back(allGrid[e]);
        }
    }

    if (!rejected && indices.empty() && !all.empty()) {
        qDebug() << "-------5.no circle left to store--------";
        drop(DropReason::Stage::Assembly,
             QStringLiteral("every circle found is one the mark rings cut"));
        return false;
    }

    size_t traced = 0;
    if (!rejected && checkLocalConsistency(indices, grid) != Consistency::Inconsistent) {
        traced = indices.size();
        completeAssignment(indices, grid, all, allGrid, detectedCount);
        if (indices.empty()) {
            if (!all.empty()) {
                qDebug() << "-------5.no circle placed--------";
            }
            rejected = true;
            why = QStringLiteral("no traced circle could be placed");
        }
    } else if (!rejected) {
        rejected = true;
        why = QStringLiteral("a traced circle lies off the place its board neighbours give it");
    }
    // Which entries of lines that contradict themselves are right cannot be
    // told, so none of them is used: the board is placed from the marks.
    if (rejected && (!directions || !growFromMarks(*directions, indices, grid, detectedCount))) {
        if (m_drop.stage == DropReason::Stage::Marks) {
            // The tracing never ran: the missing mark is the reason.
            m_drop.detail += QStringLiteral(", and the board could not be placed from the marks "
                                            "that were seen");
        } else {
            drop(DropReason::Stage::Assembly,
                 why +
                     QStringLiteral(", and the board could not be placed from the marks either"));
        }
        return false;
    }

    // Every circle found may be one the mark rings cut; OpenCV refuses to
    // transform an empty list (an exception that would end the process).
    if (indices.empty()) {
        qDebug() << "-------5.no circle left to store--------";
        drop(DropReason::Stage::Assembly,
             QStringLiteral("every circle found is one the mark rings cut"));
        return false;
    }
    cv::Mat inverse;
    if (cv::invert(m_matHomography, inverse, cv::DECOMP_LU) == 0.0) {
        qDebug() << "-------5.homography is not invertible--------";
        drop(DropReason::Stage::Assembly, QStringLiteral("the homography cannot be inverted"));
        return false;
    }
    std::vector<cv::Point2f> sent;
    sent.reserve(indices.size());
    for (size_t index : indices) {
        sent.push_back(m_vecCentres[index]);
    }
    std::vector<cv::Point3f> homogeneous;
    cv::transform(sent, homogeneous, inverse);
    std::vector<cv::Point2f> image;
    for (const cv::Point3f& h : homogeneous) {
        if (h.z == 0.0f) {
            qDebug() << "-------5.point mapped to infinity--------";
            drop(DropReason::Stage::Assembly,
                 QStringLiteral("the inverse homography maps a circle to infinity"));
            return false;
        }
    }
    if (!homogeneous.empty()) {
        cv::convertPointsFromHomogeneous(homogeneous, image);
    }
    for (const cv::Point2f& p : image) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
            qDebug() << "-------5.mapped point not finite--------";
            drop(DropReason::Stage::Assembly,
                 QStringLiteral("the inverse homography maps a circle to a non-finite point"));
            return false;
        }
    }

    m_vecSortedImagePoints = std::move(image);
    m_vecSortedIdx = std::move(indices);
    m_vecSortedGrid = std::move(grid);
    m_nTracedEntries = traced;
    m_bGrownFromMarks = rejected;
    m_vecObjectPoints.reserve(m_vecSortedGrid.size());
    for (const cv::Point& position : m_vecSortedGrid) {
        // Single precision from the integer position: equal positions give
        // bit-identical board points in every task, which the left/right
        // pairing of the store relies on.
        m_vecObjectPoints.emplace_back(static_cast<float>(position.x) * m_fGridUnit,
                                       static_cast<float>(position.y) * m_fGridUnit, 0.0f);
    }
    return true;
}
