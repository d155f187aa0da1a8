// Completion of the traced result of CMyCalculationPicThread: detected
// circles the line tracing left out, placed by the local lattice around them.

#include "Calibration/CMyCalculationPicThread.h"

#include "Calibration/LatticeFit.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <utility>

namespace {

using Key = std::pair<int, int>;

// Placed circles a first guess of a circle's position is fitted to.
constexpr size_t kNearest = 6;
// Placed neighbours (of the twelve around a position) a placement needs.
constexpr size_t kMinimumNeighbours = 4;
constexpr int kColumns = 27;
constexpr int kRows = 20;

Key key(cv::Point p) {
    return {p.x, p.y};
}

bool onBoard(cv::Point p) {
    return p.x >= 0 && p.x < kColumns && p.y >= 0 && p.y < kRows && (p.x + p.y) % 2 == 1;
}

double distance(cv::Point2d a, cv::Point2f b) {
    return std::hypot(a.x - static_cast<double>(b.x), a.y - static_cast<double>(b.y));
}

// The lattice position of a circle (x + y odd) nearest to a fractional one.
cv::Point nearestCirclePosition(cv::Point2d lattice) {
    const int x0 = static_cast<int>(std::lround(lattice.x));
    const int y0 = static_cast<int>(std::lround(lattice.y));
    cv::Point best(x0, y0);
    double bestDistance = std::numeric_limits<double>::infinity();
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const cv::Point p(x0 + dx, y0 + dy);
            const double d = std::hypot(lattice.x - p.x, lattice.y - p.y);
            if ((std::abs(p.x + p.y) % 2) == 1 && d < bestDistance) {
                best = p;
                bestDistance = d;
            }
        }
    }
    return best;
}

// The circles placed so far: lattice position -> point index and back.
struct Placement {
    std::map<Key, size_t> indexAt;
    std::vector<cv::Point> positionOf;  // per point index; valid where placed
    std::vector<char> placed;           // per point index
    std::vector<size_t> order;          // point indices in the order they were placed
};

}  // namespace

size_t CMyCalculationPicThread::completeAssignment(std::vector<size_t>& indices,
                                                   std::vector<cv::Point>& grid,
                                                   const std::vector<size_t>& tracedIdx,
                                                   const std::vector<cv::Point>& tracedGrid,
                                                   size_t detectedCount, double maxLeverage) const {
    const size_t n = std::min(detectedCount, m_vecCentres.size());
    Placement placement;
    placement.positionOf.assign(n, cv::Point());
    placement.placed.assign(n, 0);
    for (size_t e = 0; e < indices.size() && e < grid.size(); ++e) {
        if (indices[e] < n) {
            placement.indexAt[key(grid[e])] = indices[e];
            placement.positionOf[indices[e]] = grid[e];
            placement.placed[indices[e]] = 1;
            placement.order.push_back(indices[e]);
        }
    }
    // A circle the tracing put somewhere (and a check then removed) is never
    // placed anywhere else: two answers for one circle mean one is wrong.
    std::vector<char> claimed(n, 0);
    std::vector<cv::Point> claimedAt(n);
    for (size_t e = 0; e < tracedIdx.size() && e < tracedGrid.size(); ++e) {
        if (tracedIdx[e] < n) {
            claimed[tracedIdx[e]] = 1;
            claimedAt[tracedIdx[e]] = tracedGrid[e];
        }
    }

    // Where the local lattice puts circle i, or false when it cannot tell
    // that to within the bound.
    auto locate = [&](size_t i, cv::Point& position) {
        const cv::Point2f p = m_vecCentres[i];
        // First guess: an affine fit to the nearest placed circles.
        std::vector<std::pair<double, size_t>> nearest;
        nearest.reserve(placement.order.size());
        for (size_t j : placement.order) {
            nearest.emplace_back(distance(m_vecCentres[j], p), j);
        }
        const size_t k = std::min(kNearest, nearest.size());
        std::partial_sort(nearest.begin(), nearest.begin() + static_cast<long>(k), nearest.end());
        if (k < kMinimumNeighbours) {
            return false;
        }
        const cv::Point origin = placement.positionOf[nearest[0].second];
        std::vector<LatticeFit::Neighbour> neighbours;
        for (size_t m = 0; m < k; ++m) {
            const size_t j = nearest[m].second;
            neighbours.push_back({placement.positionOf[j] - origin, m_vecCentres[j]});
        }
        LatticeFit::Affine guess;
        if (!LatticeFit::fit(neighbours, neighbours.size(), kMinimumNeighbours, guess) ||
            !(guess.determinant() > 0.0)) {
            return false;
        }
        const cv::Point2d offset = guess.offsetOf(p);
        // A guess off the board by far (a nearly flat fit) names no position.
        if (!(std::fabs(offset.x) <= kColumns && std::fabs(offset.y) <= kColumns)) {
            return false;
        }
        position = nearestCirclePosition({origin.x + offset.x, origin.y + offset.y});
        if (!onBoard(position) || isRingCutPosition(position) ||
            placement.indexAt.count(key(position)) > 0) {
            return false;
        }

        // Decision: a fit to the placed circles around that position must
        // keep the board's orientation (a mirrored fit means mislabelled
        // neighbours), hold on each of them, and put the circle within the
        // bound of the position. Positions of circles are at least sqrt(2)
        // lattice units apart, so no other one can lie within a bound this
        // tight.
        // At a corner of the board, or next to a missed circle, the twelve
        // positions around it may hold too few placed circles; the ring of
        // positions three steps away is then taken too.
        neighbours.clear();
        for (int reach = 2; reach <= 3 && neighbours.size() < kMinimumNeighbours; ++reach) {
            neighbours.clear();
            for (int dy = -reach; dy <= reach; ++dy) {
                for (int dx = -reach; dx <= reach; ++dx) {
                    const cv::Point w(dx, dy);
                    const auto it = (dx + dy) % 2 == 0 && w != cv::Point(0, 0)
                                        ? placement.indexAt.find(key(position + w))
                                        : placement.indexAt.end();
                    if (it != placement.indexAt.end()) {
                        neighbours.push_back({w, m_vecCentres[it->second]});
                    }
                }
            }
        }
        LatticeFit::Affine local;
        if (!LatticeFit::fit(neighbours, neighbours.size(), kMinimumNeighbours, local) ||
            !(local.determinant() > 0.0) ||
            LatticeFit::leverage(neighbours, neighbours.size()) > maxLeverage) {
            return false;
        }
        const double bound = m_fCompletionBound * local.unit();
        for (const LatticeFit::Neighbour& q : neighbours) {
            if (!(distance(local.at(q.offset), q.point) <= bound)) {
                return false;
            }
        }
        return distance(local.at({0.0, 0.0}), p) <= bound;
    };

    size_t added = 0;
    for (;;) {
        // Each round judges every open circle against the same placed set,
        // so the result does not depend on the order of the circles.
        std::map<Key, std::vector<size_t>> claims;
        for (size_t i = 0; i < n; ++i) {
            cv::Point position;
            if (!placement.placed[i] && locate(i, position) &&
                (!claimed[i] || claimedAt[i] == position)) {
                claims[key(position)].push_back(i);
            }
        }
        size_t round = 0;
        for (const auto& [at, circles] : claims) {
            // Two circles at one position: neither can be told to be the one.
            if (circles.size() != 1) {
                continue;
            }
            const size_t i = circles.front();
            const cv::Point position(at.first, at.second);
            placement.indexAt[at] = i;
            placement.positionOf[i] = position;
            placement.placed[i] = 1;
            placement.order.push_back(i);
            indices.push_back(i);
            grid.push_back(position);
            ++round;
        }
        if (round == 0) {
            break;
        }
        added += round;
    }
    if (added > 0) {
        qDebug() << "CMyCalculationPicThread: circles placed by their neighbours" << added;
    }
    return added;
}

std::vector<cv::Point2f> CMyCalculationPicThread::unusedImagePoints() const {
    const size_t n = std::min(m_nDetected, m_vecCentres.size());
    // Input the task refused as too large is not drawn either.
    if (n > kMaxCentres || m_matHomography.rows != 3 || m_matHomography.cols != 3 ||
        m_matHomography.type() != CV_64F || !cv::checkRange(m_matHomography)) {
        return {};
    }
    std::vector<char> used(n, 0);
    if (m_bStored) {
        for (size_t i : m_vecSortedIdx) {
            if (i < n) {
                used[i] = 1;
            }
        }
    }
    std::vector<cv::Point2f> sent;
    for (size_t i = 0; i < n; ++i) {
        if (!used[i] && std::isfinite(m_vecCentres[i].x) && std::isfinite(m_vecCentres[i].y)) {
            sent.push_back(m_vecCentres[i]);
        }
    }
    cv::Mat inverse;
    if (sent.empty() || cv::invert(m_matHomography, inverse, cv::DECOMP_LU) == 0.0) {
        return {};
    }
    std::vector<cv::Point2f> image;
    cv::perspectiveTransform(sent, image, inverse);
    image.erase(std::remove_if(image.begin(), image.end(),
                               [](const cv::Point2f& p) {
                                   return !std::isfinite(p.x) || !std::isfinite(p.y);
                               }),
                image.end());
    return image;
}
