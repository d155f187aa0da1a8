// Sorted result assembly of CMyCalculationPicThread.

#include "CMyCalculationPicThread.h"

#include <QDebug>

#include <algorithm>
#include <array>
#include <cmath>

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

bool CMyCalculationPicThread::arrangeSortResult(size_t detectedCount) {
    m_vecSortedImagePoints.clear();
    m_vecObjectPoints.clear();
    m_vecSortedIdx.clear();
    m_vecSortedGrid.clear();

    // Second pass (odd rows, from mark 2) first, then the first pass.
    std::vector<size_t> indices;
    std::vector<cv::Point> grid;
    appendFoundLines(m_lines, indices, grid);
    appendFoundLines(m_savedLines, indices, grid);

    // The passes cover rows of opposite parity, so a circle listed twice got
    // two lattice positions and at least one of them is wrong.
    std::vector<char> listed(m_vecCentres.size(), 0);
    for (size_t index : indices) {
        if (index >= detectedCount || index >= m_vecCentres.size() || listed[index]) {
            qDebug() << "-------5.circle listed twice--------" << index;
            return false;
        }
        listed[index] = 1;
    }

    cv::Mat inverse;
    if (cv::invert(m_matHomography, inverse, cv::DECOMP_LU) == 0.0) {
        qDebug() << "-------5.homography is not invertible--------";
        return false;
    }
    std::vector<cv::Point2f> sent;
    sent.reserve(indices.size());
    for (size_t index : indices) {
        sent.push_back(m_vecCentres[index]);
    }
    std::vector<cv::Point3f> homogeneous;
    cv::transform(sent, homogeneous, inverse);
    for (const cv::Point3f& h : homogeneous) {
        if (h.z == 0.0f) {
            qDebug() << "-------5.point mapped to infinity--------";
            return false;
        }
    }
    std::vector<cv::Point2f> image;
    cv::convertPointsFromHomogeneous(homogeneous, image);

    for (size_t e = 0; e < image.size(); ++e) {
        if (isRingCut(grid[e])) {
            continue;
        }
        if (!std::isfinite(image[e].x) || !std::isfinite(image[e].y)) {
            qDebug() << "-------5.mapped point not finite--------";
            m_vecSortedImagePoints.clear();
            m_vecObjectPoints.clear();
            m_vecSortedIdx.clear();
            m_vecSortedGrid.clear();
            return false;
        }
        m_vecSortedImagePoints.push_back(image[e]);
        m_vecSortedIdx.push_back(indices[e]);
        m_vecSortedGrid.push_back(grid[e]);
        // Single precision from the integer position: equal positions give
        // bit-identical board points in every task, which the left/right
        // pairing of the store relies on.
        m_vecObjectPoints.emplace_back(static_cast<float>(grid[e].x) * m_fGridUnit,
                                       static_cast<float>(grid[e].y) * m_fGridUnit, 0.0f);
    }
    return true;
}
