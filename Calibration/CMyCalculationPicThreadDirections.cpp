// Neighbourhood graph and lattice directions of CMyCalculationPicThread.

#include "Calibration/CMyCalculationPicThread.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

double distance(cv::Point2f a, cv::Point2f b) {
    const double dx = static_cast<double>(a.x) - static_cast<double>(b.x);
    const double dy = static_cast<double>(a.y) - static_cast<double>(b.y);
    return std::sqrt(dx * dx + dy * dy);
}

double norm(cv::Point2f v) {
    return distance(v, cv::Point2f(0.0f, 0.0f));
}

bool hasPositiveDominantComponent(cv::Point2f c) {
    return std::fabs(c.y) > std::fabs(c.x) ? c.y > 0.0f : c.x > 0.0f;
}

}  // namespace

CMyGraph CMyCalculationPicThread::findCirclesNeighbor() const {
    const size_t n = m_vecCentres.size();
    CMyGraph graph(n);

    // For each i the other centres nearest first: a pair (i, j) is blocked by
    // some k closer to i than j is, and such k come first, so the scan stops at
    // the first blocker or at d(i, k) >= d(i, j). Same edges as testing every
    // k, without the cubic cost.
    std::vector<std::pair<double, size_t>> byDistance;
    byDistance.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        byDistance.clear();
        for (size_t k = 0; k < n; ++k) {
            if (k != i) {
                byDistance.emplace_back(distance(m_vecCentres[i], m_vecCentres[k]), k);
            }
        }
        std::sort(byDistance.begin(), byDistance.end());
        for (size_t j = i + 1; j < n; ++j) {
            const double dij = distance(m_vecCentres[i], m_vecCentres[j]);
            bool blocked = false;
            for (const auto& [dik, k] : byDistance) {
                if (!(dij > dik)) {
                    break;
                }
                if (k != j && dij > distance(m_vecCentres[j], m_vecCentres[k])) {
                    blocked = true;
                    break;
                }
            }
            if (!blocked) {
                graph.addEdge(i, j);
            }
        }
    }
    return graph;
}

std::vector<cv::Point2f> CMyCalculationPicThread::findSecondNeighbor_diff(const CMyGraph& graph,
                                                                          bool* tooMany) const {
    std::vector<cv::Point2f> bends;
    const size_t n = std::min(graph.getVerticesCount(), m_vecCentres.size());
    const size_t limit = kMaxBendVectorsPerCentre * std::max<size_t>(n, 1);
    if (tooMany) {
        *tooMany = false;
    }
    for (size_t i = 0; i < n; ++i) {
        const cv::Point2f pi = m_vecCentres[i];
        for (unsigned long j : graph.getNeighbors(i)) {
            const cv::Point2f pj = m_vecCentres[j];
            for (unsigned long k : graph.getNeighbors(j)) {
                if (!(i < k)) {
                    continue;
                }
                const cv::Point2f pk = m_vecCentres[k];
                const cv::Point2f a = pi - pj;
                const cv::Point2f b = pj - pk;
                if (norm(a - b) >= m_fBendMin && distance(pi, pk) >= m_fBendMin) {
                    if (bends.size() + 2 > limit) {
                        if (tooMany) {
                            *tooMany = true;
                        }
                        return {};
                    }
                    bends.push_back(pi - pk);
                    bends.push_back(pk - pi);
                }
            }
        }
    }
    return bends;
}

std::vector<cv::Point2f> CMyCalculationPicThread::checkSecondCirclesNeighbor_diff(
    const std::vector<cv::Point2f>& vectors) const {
    const float halfWidth = m_fDensityWidth * 0.5f;
    const float halfHeight = m_fDensityHeight * 0.5f;

    // Sorted by x, the vectors inside a box's x range are one contiguous run;
    // counting stops as soon as the minimum is reached.
    std::vector<float> sortedX;
    std::vector<size_t> order(vectors.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::sort(order.begin(), order.end(),
              [&vectors](size_t a, size_t b) { return vectors[a].x < vectors[b].x; });
    sortedX.reserve(order.size());
    for (size_t i : order) {
        sortedX.push_back(vectors[i].x);
    }

    std::vector<cv::Point2f> kept;
    for (const cv::Point2f& v : vectors) {
        const float xLow = v.x - halfWidth;
        const float xHigh = v.x + halfWidth;
        const float yLow = v.y - halfHeight;
        const float yHigh = v.y + halfHeight;
        auto it = std::lower_bound(sortedX.begin(), sortedX.end(), xLow);
        const auto end = std::lower_bound(it, sortedX.end(), xHigh);
        size_t count = 0;
        bool dense = false;
        for (; it != end; ++it) {
            const cv::Point2f& u = vectors[order[static_cast<size_t>(it - sortedX.begin())]];
            if (yLow <= u.y && u.y < yHigh) {
                ++count;
                if (static_cast<float>(count) >= m_fDensityMinCount) {
                    dense = true;
                    break;
                }
            }
        }
        if (dense) {
            kept.push_back(v);
        }
    }
    return kept;
}

CMyCalculationPicThread::DirectionStatus CMyCalculationPicThread::findSecondCirclesNeighbor_Idx(
    const std::vector<cv::Point2f>& vectors, LatticeDirections& directions) const {
    constexpr int kClusters = 4;
    if (vectors.size() < static_cast<size_t>(kClusters)) {
        return DirectionStatus::TooFewVectors;
    }

    cv::Mat samples(static_cast<int>(vectors.size()), 2, CV_32F);
    for (int i = 0; i < samples.rows; ++i) {
        samples.at<float>(i, 0) = vectors[static_cast<size_t>(i)].x;
        samples.at<float>(i, 1) = vectors[static_cast<size_t>(i)].y;
    }
    // The random initial centres come from this thread's generator; seeding it
    // here makes the outcome depend on the input only, not on which pool thread
    // ran the task or what it ran before.
    cv::theRNG() = cv::RNG(kClusteringSeed);
    cv::Mat labels;
    cv::Mat centers;
    cv::kmeans(samples, kClusters, labels, cv::TermCriteria(), m_nClusterAttempts,
               cv::KMEANS_RANDOM_CENTERS, centers);

    std::vector<cv::Point2f> positive;
    for (int c = 0; c < centers.rows; ++c) {
        const cv::Point2f centre(centers.at<float>(c, 0), centers.at<float>(c, 1));
        if (hasPositiveDominantComponent(centre)) {
            positive.push_back(centre);
        }
    }
    if (positive.size() != 2) {
        return DirectionStatus::NotTwoPositive;
    }
    if (positive[1].x > positive[0].x) {
        std::swap(positive[0], positive[1]);
    }
    directions.row = positive[0];
    directions.column = positive[1];
    if (distance(directions.row, directions.column) < 2.0) {
        return DirectionStatus::TooClose;
    }
    if (!(std::fabs(directions.row.x) > std::fabs(directions.row.y)) ||
        std::fabs(directions.column.x) > std::fabs(directions.column.y)) {
        return DirectionStatus::Skewed;
    }
    return DirectionStatus::Found;
}
