#include "Calibration/LatticeFit.h"

#include <cmath>

namespace LatticeFit {

const std::array<cv::Point, 12> kWindow = {{
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

cv::Point2d Affine::at(cv::Point2d offset) const {
    return {map(0, 0) * offset.x + map(0, 1) * offset.y + map(0, 2),
            map(1, 0) * offset.x + map(1, 1) * offset.y + map(1, 2)};
}

cv::Point2d Affine::offsetOf(cv::Point2d point) const {
    const cv::Matx22d linear(map(0, 0), map(0, 1), map(1, 0), map(1, 1));
    const cv::Vec2d d = linear.inv() * cv::Vec2d(point.x - map(0, 2), point.y - map(1, 2));
    return {d[0], d[1]};
}

double Affine::determinant() const {
    return map(0, 0) * map(1, 1) - map(0, 1) * map(1, 0);
}

double Affine::unit() const {
    return std::sqrt(std::fabs(determinant()));
}

bool fit(const std::vector<Neighbour>& neighbours, size_t skip, size_t minimum, Affine& affine) {
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
    affine.map = cv::Matx23d(fitX[0], fitX[1], fitX[2], fitY[0], fitY[1], fitY[2]);
    return true;
}

}  // namespace LatticeFit
