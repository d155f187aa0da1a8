#include "tests/support/StereoRigSimulator.h"

#include <opencv2/calib3d.hpp>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kDeg = CV_PI / 180.0;
constexpr int kViews = 26;
constexpr double kMarginPx = 2.0;

cv::Mat cameraMatrix(double fx, double fy, double cx, double cy) {
    return (cv::Mat_<double>(3, 3) << fx, 0, cx, 0, fy, cy, 0, 0, 1);
}

cv::Mat distortion(double k1, double k2, double p1, double p2) {
    return (cv::Mat_<double>(5, 1) << k1, k2, p1, p2, 0.0);
}

cv::Mat rotation(double rxDeg, double ryDeg, double rzDeg) {
    cv::Mat R;
    const cv::Mat rvec = (cv::Mat_<double>(3, 1) << rxDeg * kDeg, ryDeg * kDeg, rzDeg * kDeg);
    cv::Rodrigues(rvec, R);
    return R;
}

bool ringCut(int x, int y) {
    static const cv::Point cut[] = {{11, 6},  {13, 6},  {11, 8},  {13, 8},  {10, 11}, {12, 11},
                                    {10, 13}, {12, 13}, {14, 11}, {16, 11}, {14, 13}, {16, 13}};
    return std::any_of(std::begin(cut), std::end(cut),
                       [&](const cv::Point& p) { return p.x == x && p.y == y; });
}

// Board pose in the left camera: rotation about the board centre, centre placed
// at (cx, cy, distance) in camera coordinates.
void boardPose(int view, const cv::Size& imageSize, float unitCm, cv::Mat& rvec, cv::Mat& tvec) {
    const double i = view;
    const double tiltX = 32.0 * std::sin(0.9 * i + 0.3);
    const double tiltY = 32.0 * std::cos(1.3 * i + 0.5);
    const double roll = 12.0 * std::sin(0.7 * i);
    const double distance = 30.0 + 16.0 * (0.5 + 0.5 * std::sin(0.45 * i + 1.0));
    // Views 5, 11, 17, 23 are shifted so that a part of the board leaves the image.
    const bool partial = view % 6 == 5;
    const double reachX = distance * imageSize.width / (2.0 * 450.0);
    const double reachY = distance * imageSize.height / (2.0 * 450.0);
    const double shift = partial ? 0.45 : 0.12;
    const double offsetX = shift * reachX * std::cos(2.1 * i);
    const double offsetY = shift * reachY * std::sin(1.7 * i + 0.4);

    const cv::Mat R = rotation(tiltX, tiltY, roll);
    const cv::Mat centre = (cv::Mat_<double>(3, 1) << 13.0 * unitCm, 9.5 * unitCm, 0.0);
    const cv::Mat placed = (cv::Mat_<double>(3, 1) << offsetX, offsetY, distance);
    tvec = placed - R * centre;
    cv::Rodrigues(R, rvec);
}

void projectInto(const std::vector<cv::Point3f>& truePoints,
                 const std::vector<cv::Point3f>& reportedPoints, const cv::Mat& rvec,
                 const cv::Mat& tvec, const SimulatedCamera& camera, const cv::Size& imageSize,
                 double noisePx, cv::RNG& rng, std::vector<cv::Point2f>& image,
                 std::vector<cv::Point3f>& board) {
    std::vector<cv::Point2f> projected;
    cv::projectPoints(truePoints, rvec, tvec, camera.K, camera.dist, projected);
    for (size_t j = 0; j < projected.size(); ++j) {
        const cv::Point2f p(static_cast<float>(projected[j].x + rng.gaussian(noisePx)),
                            static_cast<float>(projected[j].y + rng.gaussian(noisePx)));
        if (p.x < kMarginPx || p.y < kMarginPx || p.x > imageSize.width - 1 - kMarginPx ||
            p.y > imageSize.height - 1 - kMarginPx) {
            continue;
        }
        image.push_back(p);
        board.push_back(reportedPoints[j]);
    }
}

std::vector<cv::Point3f> boardPoints(const std::vector<cv::Point>& lattice, float unitCm) {
    std::vector<cv::Point3f> points;
    points.reserve(lattice.size());
    for (const cv::Point& q : lattice) {
        points.emplace_back(static_cast<float>(q.x) * unitCm, static_cast<float>(q.y) * unitCm,
                            0.0f);
    }
    return points;
}

}  // namespace

SimulatedRig SimulatedRig::forward() {
    SimulatedRig rig;
    rig.imageSize = cv::Size(480, 640);
    rig.left = {cameraMatrix(448.0, 447.2, 241.5, 318.4), distortion(-0.08, 0.02, 0.0005, -0.0003)};
    rig.right = {cameraMatrix(452.3, 451.6, 237.8, 322.1),
                 distortion(-0.07, 0.015, -0.0004, 0.0002)};
    rig.R = rotation(0.4, -0.9, 0.3);
    rig.T = (cv::Mat_<double>(3, 1) << -5.9, 0.04, -0.03);
    return rig;
}

SimulatedRig SimulatedRig::downward() {
    SimulatedRig rig;
    rig.imageSize = cv::Size(640, 480);
    rig.left = {cameraMatrix(455.1, 454.4, 322.6, 238.9), distortion(-0.06, 0.012, 0.0003, 0.0004)};
    rig.right = {cameraMatrix(449.7, 449.1, 317.2, 243.5),
                 distortion(-0.075, 0.018, -0.0002, -0.0005)};
    rig.R = rotation(-0.5, 0.7, -0.4);
    rig.T = (cv::Mat_<double>(3, 1) << -3.9, -0.03, 0.05);
    return rig;
}

void simulatedBoardPose(int view, const SimulatedRig& rig, float unitCm, cv::Mat& rvec,
                        cv::Mat& tvec) {
    boardPose(view, rig.imageSize, unitCm, rvec, tvec);
}

namespace {

// Lattice positions (column, row) in task order, ring-cut neighbours removed.
std::vector<cv::Point> taskOrderedLattice() {
    std::vector<cv::Point> lattice;
    for (int y = 1; y <= 19; y += 2) {
        for (int x = 2; x <= 26; x += 2) {
            if (!ringCut(x, y)) {
                lattice.emplace_back(x, y);
            }
        }
    }
    for (int y = 0; y <= 18; y += 2) {
        for (int x = 1; x <= 25; x += 2) {
            if (!ringCut(x, y)) {
                lattice.emplace_back(x, y);
            }
        }
    }
    return lattice;
}

}  // namespace

std::vector<SimulatedView> simulateViews(const SimulatedRig& rig,
                                         const SimulationSettings& settings) {
    const std::vector<cv::Point> lattice = taskOrderedLattice();
    const std::vector<cv::Point3f> truePoints = boardPoints(lattice, settings.trueUnitCm);
    const std::vector<cv::Point3f> reported = boardPoints(lattice, settings.reportedUnitCm);
    cv::RNG rng(settings.seed);

    std::vector<SimulatedView> views(kViews);
    for (int v = 0; v < kViews; ++v) {
        cv::Mat rvec, tvec;
        boardPose(v, rig.imageSize, settings.trueUnitCm, rvec, tvec);
        cv::Mat Rl;
        cv::Rodrigues(rvec, Rl);
        cv::Mat rvecRight;
        cv::Rodrigues(rig.R * Rl, rvecRight);
        const cv::Mat tvecRight = rig.R * tvec + rig.T;

        SimulatedView& view = views[v];
        projectInto(truePoints, reported, rvec, tvec, rig.left, rig.imageSize, settings.noisePx,
                    rng, view.leftImage, view.leftBoard);
        projectInto(truePoints, reported, rvecRight, tvecRight, rig.right, rig.imageSize,
                    settings.noisePx, rng, view.rightImage, view.rightBoard);
    }
    return views;
}
