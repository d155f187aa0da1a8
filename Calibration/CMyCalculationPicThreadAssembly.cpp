// Sorted result assembly of CMyCalculationPicThread.

#include "Calibration/CMyCalculationPicThread.h"

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

// Lattice offsets of the circles around a circle that the local fit uses:
// the diagonal neighbours, the next circle along the row and column, and the
// diagonal ones two steps away.
const std::array<cv::Point, 12> kFitWindow = {{
    {-1, -1},
    {1, -1},
    {-1, 1},
    {1, 1},
    {-2, 0},
    {2, 0},
    {0, -2},
    {0, 2},
    {-2, -2},
    {2, -2},
    {-2, 2},
    {2, 2},
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

namespace {

struct Neighbour {
    cv::Point offset;
    cv::Point2f point;
};

// Least-squares affine map from lattice offsets to sent-frame points over the
// neighbours except `skip`; its value at offset 0 is where the circle should
// be, and the root of its determinant is the local lattice unit in pixels.
// False when fewer than `minimum` neighbours remain or they are collinear.
bool fitAffine(const std::vector<Neighbour>& neighbours, size_t skip, size_t minimum,
               cv::Point2d& expected, double& unit) {
    cv::Matx33d normal = cv::Matx33d::zeros();
    cv::Vec3d sumX(0.0, 0.0, 0.0);
    cv::Vec3d sumY(0.0, 0.0, 0.0);
    size_t used = 0;
    for (size_t k = 0; k < neighbours.size(); ++k) {
        if (k == skip) {
            continue;
        }
        const cv::Vec3d a(neighbours[k].offset.x, neighbours[k].offset.y, 1.0);
        normal += a * a.t();
        sumX += a * static_cast<double>(neighbours[k].point.x);
        sumY += a * static_cast<double>(neighbours[k].point.y);
        ++used;
    }
    if (used < minimum || cv::determinant(normal) < 0.5) {
        return false;
    }
    const cv::Matx33d inverse = normal.inv(cv::DECOMP_CHOLESKY);
    const cv::Vec3d fitX = inverse * sumX;
    const cv::Vec3d fitY = inverse * sumY;
    expected = {fitX[2], fitY[2]};
    unit = std::sqrt(std::fabs(fitX[0] * fitY[1] - fitX[1] * fitY[0]));
    return true;
}

}  // namespace

CMyCalculationPicThread::Consistency CMyCalculationPicThread::checkLocalConsistency(
    std::vector<size_t>& indices, std::vector<cv::Point>& grid) const {
    std::map<std::pair<int, int>, size_t> entryAt;
    for (size_t e = 0; e < grid.size(); ++e) {
        entryAt[{grid[e].x, grid[e].y}] = e;
    }

    std::vector<char> verified(grid.size(), 0);
    std::vector<Neighbour> neighbours;
    for (size_t e = 0; e < grid.size(); ++e) {
        neighbours.clear();
        for (const cv::Point& offset : kFitWindow) {
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
        cv::Point2d expected;
        double unit = 0.0;
        if (!fitAffine(neighbours, neighbours.size(), 3, expected, unit)) {
            continue;
        }
        for (size_t skip = neighbours.size() + 1; skip-- > 0;) {
            if (skip < neighbours.size() && !fitAffine(neighbours, skip, 4, expected, unit)) {
                continue;
            }
            const double residual = std::hypot(p.x - expected.x, p.y - expected.y);
            if (!(residual <= m_fConsistencyTolerance * unit)) {
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

bool CMyCalculationPicThread::arrangeSortResult(size_t detectedCount) {
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
    std::vector<char> listed(m_vecCentres.size(), 0);
    for (size_t index : all) {
        if (index >= detectedCount || index >= m_vecCentres.size() || listed[index]) {
            qDebug() << "-------5.circle listed twice--------" << index;
            drop(DropReason::Stage::Assembly,
                 QStringLiteral("circle %1 was traced at two board positions").arg(index));
            return false;
        }
        listed[index] = 1;
    }

    std::vector<size_t> indices;
    std::vector<cv::Point> grid;
    for (size_t e = 0; e < all.size(); ++e) {
        if (!isRingCut(allGrid[e])) {
            indices.push_back(all[e]);
            grid.push_back(allGrid[e]);
        }
    }

    if (checkLocalConsistency(indices, grid) == Consistency::Inconsistent) {
        drop(DropReason::Stage::Assembly,
             QStringLiteral("a traced circle lies off the place its board neighbours give it"));
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
