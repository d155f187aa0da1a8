#include "tests/support/syntheticboard/SyntheticBoardView.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>

#include <opencv2/calib3d.hpp>
#include <opencv2/imgproc.hpp>

namespace {

constexpr double kPi = 3.14159265358979323846;
// Lattice centre of the board: columns 0..26, rows 0..19.
constexpr double kCentreColumn = 13.0;
constexpr double kCentreRow = 9.5;
// Where lattice (0, 0) lands in the sent frame before the residual rotation.
constexpr double kSentMargin = 40.0;

double radians(double degrees) {
    return degrees * kPi / 180.0;
}

cv::Point3d boardPoint(cv::Point2d lattice, double gridUnitCm) {
    return {(lattice.x - kCentreColumn) * gridUnitCm, (lattice.y - kCentreRow) * gridUnitCm, 0.0};
}

cv::Point2f sentPoint(cv::Point2d lattice, const SyntheticOptions& options) {
    const double step = options.normalisedStepPx;
    const double angle = radians(options.residualRotationDeg);
    const double dx = (lattice.x - kCentreColumn) * step;
    const double dy = (lattice.y - kCentreRow) * step;
    const double centreX = kCentreColumn * step + kSentMargin;
    const double centreY = kCentreRow * step + kSentMargin;
    return cv::Point2f(static_cast<float>(centreX + std::cos(angle) * dx - std::sin(angle) * dy),
                       static_cast<float>(centreY + std::sin(angle) * dx + std::cos(angle) * dy));
}

// The mark whose ring cuts into position, or -1.
int cuttingMark(cv::Point position) {
    for (size_t m = 0; m < SyntheticBoardView::kMarks.size(); ++m) {
        const cv::Point d = position - SyntheticBoardView::kMarks[m];
        if (std::abs(d.x) == 1 && std::abs(d.y) == 1) {
            return static_cast<int>(m);
        }
    }
    return -1;
}

}  // namespace

const std::array<cv::Point, 3> SyntheticBoardView::kMarks = {
    {cv::Point(11, 12), cv::Point(15, 12), cv::Point(12, 7)}};

cv::Mat SyntheticCamera::cameraMatrix() const {
    return (cv::Mat_<double>(3, 3) << fx, 0.0, cx, 0.0, fy, cy, 0.0, 0.0, 1.0);
}

cv::Mat SyntheticCamera::distCoeffs() const {
    return (cv::Mat_<double>(1, 5) << distortion[0], distortion[1], distortion[2], distortion[3],
            distortion[4]);
}

SyntheticCamera SyntheticCamera::downward() {
    return SyntheticCamera();
}

SyntheticCamera SyntheticCamera::forward() {
    SyntheticCamera camera;
    camera.imageSize = cv::Size(480, 640);
    camera.cx = 239.5;
    camera.cy = 319.5;
    return camera;
}

SyntheticCamera SyntheticCamera::undistorted() const {
    SyntheticCamera camera = *this;
    camera.distortion = {{0.0, 0.0, 0.0, 0.0, 0.0}};
    return camera;
}

SyntheticBoardView::SyntheticBoardView(SyntheticCamera camera, double gridUnitCm)
    : m_camera(std::move(camera)), m_gridUnitCm(gridUnitCm) {}

std::vector<cv::Point> SyntheticBoardView::boardLattice() {
    std::vector<cv::Point> lattice;
    for (int y = 0; y < kRows; ++y) {
        for (int x = 0; x < kColumns; ++x) {
            if ((x + y) % 2 == 1) {
                lattice.emplace_back(x, y);
            }
        }
    }
    return lattice;
}

bool SyntheticBoardView::isRingCut(cv::Point position) {
    return cuttingMark(position) >= 0;
}

SyntheticView SyntheticBoardView::generate(const SyntheticPose& pose,
                                           const SyntheticOptions& options, uint64_t seed) const {
    std::mt19937_64 rng(seed);
    const std::vector<cv::Point> lattice = boardLattice();
    const double g = m_gridUnitCm;
    const cv::Size size = m_camera.imageSize;

    // Pose: tilt about the in-plane axis, then roll about the optical axis.
    const double axis = radians(pose.tiltAxisDeg);
    const double tilt = radians(pose.tiltDeg);
    cv::Mat tiltRotation;
    cv::Mat rollRotation;
    cv::Rodrigues(cv::Vec3d(tilt * std::cos(axis), tilt * std::sin(axis), 0.0), tiltRotation);
    cv::Rodrigues(cv::Vec3d(0.0, 0.0, radians(pose.rollDeg)), rollRotation);
    const cv::Mat rotation = rollRotation * tiltRotation;
    cv::Mat rvec;
    cv::Rodrigues(rotation, rvec);
    const double depth = m_camera.fx * kColumns * g / (pose.fill * size.width);
    const cv::Vec3d tvec(pose.shift.x * size.width * depth / m_camera.fx,
                         pose.shift.y * size.height * depth / m_camera.fy, depth);

    std::vector<cv::Point3d> board;
    for (const cv::Point& p : lattice) {
        board.push_back(boardPoint(p, g));
    }
    std::vector<cv::Point2d> distorted;
    std::vector<cv::Point2d> ideal;
    const cv::Mat K = m_camera.cameraMatrix();
    cv::projectPoints(board, rvec, tvec, K, m_camera.distCoeffs(), distorted);
    cv::projectPoints(board, rvec, tvec, K, cv::Mat(), ideal);

    // Mark positions in the image, for the ring-cut bias.
    std::array<cv::Point2d, 3> markImage;
    for (size_t m = 0; m < kMarks.size(); ++m) {
        const auto it = std::find(lattice.begin(), lattice.end(), kMarks[m]);
        markImage[m] = distorted[static_cast<size_t>(it - lattice.begin())];
    }

    std::normal_distribution<double> noise(0.0, options.noisePx);
    std::vector<size_t> visible;
    std::vector<cv::Point2f> image(lattice.size());
    for (size_t i = 0; i < lattice.size(); ++i) {
        const cv::Mat camPoint = rotation * cv::Mat(cv::Vec3d(board[i].x, board[i].y, 0.0));
        const double z = camPoint.at<double>(2) + tvec[2];
        if (z <= 0.0) {
            continue;
        }
        // A circle counts as detected when its whole disc is in the image; the
        // ideal projection guards against strong distortion folding far-away
        // points back into the picture.
        const double radiusPx = m_camera.fx * 0.5 * g / z;
        const cv::Point2d d = distorted[i];
        const cv::Point2d p = ideal[i];
        const bool inside = d.x >= radiusPx && d.y >= radiusPx &&
                            d.x <= size.width - 1 - radiusPx && d.y <= size.height - 1 - radiusPx;
        const bool idealNear = p.x > -0.25 * size.width && p.x < 1.25 * size.width &&
                               p.y > -0.25 * size.height && p.y < 1.25 * size.height;
        if (!inside || !idealNear) {
            continue;
        }
        cv::Point2d centre = d;
        const int mark = cuttingMark(lattice[i]);
        if (mark >= 0 && options.ringCutShiftPx != 0.0) {
            const cv::Point2d away = d - markImage[static_cast<size_t>(mark)];
            const double length = std::hypot(away.x, away.y);
            if (length > 0.0) {
                centre += away * (options.ringCutShiftPx / length);
            }
        }
        if (options.noisePx > 0.0) {
            centre.x += noise(rng);
            centre.y += noise(rng);
        }
        image[i] = cv::Point2f(static_cast<float>(centre.x), static_cast<float>(centre.y));
        visible.push_back(i);
    }

    SyntheticView view;
    view.visibleCount = visible.size();
    for (size_t i : visible) {
        view.visibleLattice.push_back(lattice[i]);
    }

    // Leave out a share of the non-mark circles.
    auto isMark = [&lattice](size_t i) {
        return std::find(kMarks.begin(), kMarks.end(), lattice[i]) != kMarks.end();
    };
    std::vector<size_t> droppable;
    for (size_t i : visible) {
        if (!isMark(i)) {
            droppable.push_back(i);
        }
    }
    std::shuffle(droppable.begin(), droppable.end(), rng);
    const size_t dropCount = std::min(
        droppable.size(), static_cast<size_t>(std::lround(options.missingFraction *
                                                          static_cast<double>(visible.size()))));
    std::vector<char> dropped(lattice.size(), 0);
    for (size_t k = 0; k < dropCount; ++k) {
        dropped[droppable[k]] = 1;
    }
    std::vector<size_t> sent;
    for (size_t i : visible) {
        if (!dropped[i]) {
            sent.push_back(i);
        }
    }
    if (options.shuffle) {
        std::shuffle(sent.begin(), sent.end(), rng);
    }
    // Index 0 means "mark not found" on the wire, so a seen mark never sits there.
    if (sent.size() > 1 && isMark(sent[0])) {
        for (size_t k = sent.size() - 1; k > 0; --k) {
            if (!isMark(sent[k])) {
                std::swap(sent[0], sent[k]);
                break;
            }
        }
    }

    // H: from the undistorted image of four board corners to their place in
    // the sent frame, each corner off by the jitter.
    const std::array<cv::Point2d, 4> corners = {
        {{0.0, 0.0}, {26.0, 0.0}, {26.0, 19.0}, {0.0, 19.0}}};
    std::vector<cv::Point3d> cornerBoard;
    for (const cv::Point2d& c : corners) {
        cornerBoard.push_back(boardPoint(c, g));
    }
    std::vector<cv::Point2d> cornerImage;
    cv::projectPoints(cornerBoard, rvec, tvec, K, cv::Mat(), cornerImage);
    std::normal_distribution<double> jitter(0.0, options.homographyJitterPx);
    cv::Point2f from[4];
    cv::Point2f to[4];
    for (size_t c = 0; c < corners.size(); ++c) {
        from[c] =
            cv::Point2f(static_cast<float>(cornerImage[c].x), static_cast<float>(cornerImage[c].y));
        to[c] = sentPoint(corners[c], options);
        if (options.homographyJitterPx > 0.0) {
            to[c].x += static_cast<float>(jitter(rng));
            to[c].y += static_cast<float>(jitter(rng));
        }
    }
    view.homography = cv::getPerspectiveTransform(from, to);

    view.marks.assign(kMarks.size(), 0);
    for (size_t k = 0; k < sent.size(); ++k) {
        const size_t i = sent[k];
        view.imageCentres.push_back(image[i]);
        view.lattice.push_back(lattice[i]);
        const auto m = std::find(kMarks.begin(), kMarks.end(), lattice[i]);
        if (m != kMarks.end()) {
            view.marks[static_cast<size_t>(m - kMarks.begin())] = k;
        }
    }
    if (!view.imageCentres.empty()) {
        cv::perspectiveTransform(view.imageCentres, view.centres, view.homography);
    }
    return view;
}
