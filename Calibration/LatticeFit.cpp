#include "Calibration/LatticeFit.h"

#include <cmath>
#include <limits>

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

namespace {

// Normal matrix of the offsets of all neighbours but `skip`; false when it
// is singular (collinear offsets). Offsets are integers, so a regular matrix
// has a determinant of at least 1.
bool normalMatrix(const std::vector<Neighbour>& neighbours, size_t skip, cv::Matx33d& normal,
                  size_t& used) {
    normal = cv::Matx33d::zeros();
    used = 0;
    for (size_t k = 0; k < neighbours.size(); ++k) {
        if (k != skip) {
            const cv::Vec3d a(neighbours[k].offset.x, neighbours[k].offset.y, 1.0);
            normal += a * a.t();
            ++used;
        }
    }
    return cv::determinant(normal) >= 0.5;
}

}  // namespace

double leverage(const std::vector<Neighbour>& neighbours, size_t skip) {
    cv::Matx33d normal;
    size_t used = 0;
    if (!normalMatrix(neighbours, skip, normal, used)) {
        return std::numeric_limits<double>::infinity();
    }
    return normal.inv(cv::DECOMP_CHOLESKY)(2, 2);
}

bool fit(const std::vector<Neighbour>& neighbours, size_t skip, size_t minimum, Affine& affine) {
    cv::Matx33d normal;
    size_t used = 0;
    if (!normalMatrix(neighbours, skip, normal, used) || used < minimum) {
        return false;
    }
    cv::Vec3d sumX(0.0, 0.0, 0.0);
    cv::Vec3d sumY(0.0, 0.0, 0.0);
    for (size_t k = 0; k < neighbours.size(); ++k) {
        if (k != skip) {
            const cv::Vec3d a(neighbours[k].offset.x, neighbours[k].offset.y, 1.0);
            sumX += a * static_cast<double>(neighbours[k].point.x);
            sumY += a * static_cast<double>(neighbours[k].point.y);
        }
    }
    const cv::Matx33d inverse = normal.inv(cv::DECOMP_CHOLESKY);
    const cv::Vec3d fitX = inverse * sumX;
    const cv::Vec3d fitY = inverse * sumY;
    affine.map = cv::Matx23d(fitX[0], fitX[1], fitX[2], fitY[0], fitY[1], fitY[2]);
    return true;
}

}  // namespace LatticeFit
