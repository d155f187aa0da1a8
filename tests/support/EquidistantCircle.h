#pragma once

#include <opencv2/core.hpp>

#include <cmath>
#include <vector>

// (6000, 6000) followed by the 180 integer points exactly 5525 px from it:
// every point is the centre's neighbour at one and the same distance, the
// worst case for the ordering's two-step paths, which grow with the square
// of their number.
inline std::vector<cv::Point2f> equidistantCircle() {
    const int r = 5525;
    std::vector<cv::Point2f> points{{6000, 6000}};
    for (int x = -r; x <= r; ++x) {
        const int y = static_cast<int>(std::lround(std::sqrt(double(r) * r - double(x) * x)));
        if (x * x + y * y == r * r) {
            points.emplace_back(6000.0f + x, 6000.0f + y);
            if (y != 0) {
                points.emplace_back(6000.0f + x, 6000.0f - y);
            }
        }
    }
    return points;
}
