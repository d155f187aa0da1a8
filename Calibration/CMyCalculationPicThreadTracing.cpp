// Line tracing from the mark circles of CMyCalculationPicThread.

#include "Calibration/CMyCalculationPicThread.h"

#include <cmath>
#include <limits>

namespace {

constexpr int kLinesGrownEachWay = 6;
constexpr int kBackwardSteps = 5;

int forwardSteps(int variant) {
    return variant == 0 ? 7 : 8;
}

double distance(cv::Point2f a, cv::Point2f b) {
    const double dx = static_cast<double>(a.x) - static_cast<double>(b.x);
    const double dy = static_cast<double>(a.y) - static_cast<double>(b.y);
    return std::sqrt(dx * dx + dy * dy);
}

// Lattice position one offset away: a mostly horizontal offset moves two
// columns, any other two rows.
cv::Point shifted(cv::Point position, cv::Point2f offset) {
    if (std::fabs(offset.x) > std::fabs(offset.y)) {
        return {position.x + (offset.x > 0.0f ? 2 : -2), position.y};
    }
    return {position.x, position.y + (offset.y > 0.0f ? 2 : -2)};
}

double countDetected(const std::vector<size_t>& indices, size_t detectedCount) {
    double count = 0.0;
    for (size_t index : indices) {
        if (index < detectedCount) {
            count += 1.0;
        }
    }
    return count;
}

}  // namespace

size_t CMyCalculationPicThread::nearestPoint(cv::Point2f target, double& bestDistance) const {
    size_t best = 0;
    bestDistance = std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < m_vecCentres.size(); ++i) {
        const double d = distance(target, m_vecCentres[i]);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

size_t CMyCalculationPicThread::addPoint(cv::Point2f target, cv::Point sourcePosition,
                                         TracedLine& line, cv::Point2f offset,
                                         size_t detectedCount) {
    return recordMatch(target, shifted(sourcePosition, offset), line, detectedCount);
}

size_t CMyCalculationPicThread::recordMatch(cv::Point2f target, cv::Point position,
                                            TracedLine& line, size_t detectedCount) {
    double d = 0.0;
    size_t index = nearestPoint(target, d);
    if (d > static_cast<double>(m_nMatchDistance)) {
        index = m_vecCentres.size();
        m_vecCentres.push_back(target);
    }
    line.allIdx.push_back(index);
    line.allGrid.push_back(position);
    // A virtual point that an earlier prediction left here is a guess, not a
    // circle the drone saw: it keeps the walk going but is never a result.
    if (index < detectedCount) {
        line.foundIdx.push_back(index);
        line.foundGrid.push_back(position);
    }
    return index;
}

CMyCalculationPicThread::TracedLine CMyCalculationPicThread::findMarkPath(
    size_t mark, cv::Point markPosition, cv::Point2f rowVector, int variant, size_t detectedCount) {
    // The backward walk is collected right to left and reversed at the end so
    // that every list runs in ascending column order.
    TracedLine back;
    size_t current = mark;
    for (int s = 1; s <= kBackwardSteps; ++s) {
        const cv::Point2f target = m_vecCentres[current] - rowVector;
        current =
            recordMatch(target, {markPosition.x - 2 * s, markPosition.y}, back, detectedCount);
    }

    TracedLine line;
    line.allIdx.assign(back.allIdx.rbegin(), back.allIdx.rend());
    line.allGrid.assign(back.allGrid.rbegin(), back.allGrid.rend());
    line.foundIdx.assign(back.foundIdx.rbegin(), back.foundIdx.rend());
    line.foundGrid.assign(back.foundGrid.rbegin(), back.foundGrid.rend());
    line.allIdx.push_back(mark);
    line.allGrid.push_back(markPosition);
    line.foundIdx.push_back(mark);
    line.foundGrid.push_back(markPosition);

    current = mark;
    for (int s = 1; s <= forwardSteps(variant); ++s) {
        const cv::Point2f target = m_vecCentres[current] + rowVector;
        current =
            recordMatch(target, {markPosition.x + 2 * s, markPosition.y}, line, detectedCount);
    }
    return line;
}

CMyCalculationPicThread::TracedLine CMyCalculationPicThread::findCandidateLine(
    const std::vector<size_t>& sourceIdx, const std::vector<cv::Point>& sourceGrid,
    cv::Point2f offset, size_t detectedCount) {
    TracedLine line;
    const size_t count = std::min(sourceIdx.size(), sourceGrid.size());
    for (size_t e = 0; e < count; ++e) {
        const cv::Point2f target = m_vecCentres[sourceIdx[e]] + offset;
        addPoint(target, sourceGrid[e], line, offset, detectedCount);
    }
    return line;
}

void CMyCalculationPicThread::insertWinner(double scoreUp, double scoreDown, double threshold,
                                           const TracedLine& up, const TracedLine& down) {
    m_lines.allIdx.insert(m_lines.allIdx.begin(), up.allIdx);
    m_lines.allGrid.insert(m_lines.allGrid.begin(), up.allGrid);
    m_lines.allIdx.push_back(down.allIdx);
    m_lines.allGrid.push_back(down.allGrid);
    if (scoreUp >= threshold) {
        m_lines.foundIdx.insert(m_lines.foundIdx.begin(), up.foundIdx);
        m_lines.foundGrid.insert(m_lines.foundGrid.begin(), up.foundGrid);
    }
    if (scoreDown >= threshold) {
        m_lines.foundIdx.push_back(down.foundIdx);
        m_lines.foundGrid.push_back(down.foundGrid);
    }
}

void CMyCalculationPicThread::addHolesByGraph(const LatticeDirections& directions,
                                              size_t detectedCount) {
    if (m_lines.allIdx.empty()) {
        return;
    }
    // Copies: inserting the candidates reallocates the outer lists.
    const std::vector<size_t> topIdx = m_lines.allIdx.front();
    const std::vector<cv::Point> topGrid = m_lines.allGrid.front();
    const std::vector<size_t> bottomIdx = m_lines.allIdx.back();
    const std::vector<cv::Point> bottomGrid = m_lines.allGrid.back();

    const TracedLine up = findCandidateLine(topIdx, topGrid, -directions.column, detectedCount);
    const TracedLine down =
        findCandidateLine(bottomIdx, bottomGrid, directions.column, detectedCount);

    const double scoreUp = m_dDetectedWeight * countDetected(up.allIdx, detectedCount);
    const double scoreDown = m_dDetectedWeight * countDetected(down.allIdx, detectedCount);
    insertWinner(scoreUp, scoreDown, m_dLineThreshold, up, down);
}

void CMyCalculationPicThread::findMCS(const LatticeDirections& directions, size_t detectedCount,
                                      size_t mark, cv::Point markPosition, int variant) {
    m_lines.clear();
    const TracedLine markLine =
        findMarkPath(mark, markPosition, directions.row, variant, detectedCount);
    m_lines.allIdx.push_back(markLine.allIdx);
    m_lines.foundIdx.push_back(markLine.foundIdx);
    m_lines.allGrid.push_back(markLine.allGrid);
    m_lines.foundGrid.push_back(markLine.foundGrid);

    m_dLineThreshold = m_dDetectedWeight;
    for (int i = 0; i < kLinesGrownEachWay; ++i) {
        addHolesByGraph(directions, detectedCount);
    }
}
