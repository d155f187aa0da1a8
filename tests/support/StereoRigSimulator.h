#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <vector>

// Simulated stereo rigs looking at the on-screen circle board, producing per
// view the lists an ordering task stores: image points (pixels) in task order
// and board points (centimetres, z = 0, single precision).
//
// Board lattice: rows 0..19, a circle where x + y is odd; task order is the odd
// rows top to bottom (columns 2..26), then the even rows (columns 1..25),
// without the twelve circles the mark rings cut into: 248 points when the
// whole board is seen. Points that project outside the image (2 px margin) are
// left out of that camera's lists, as a detector would miss them.

struct SimulatedCamera {
    cv::Mat K;     // 3x3 CV_64F
    cv::Mat dist;  // 5x1 CV_64F: k1, k2, p1, p2, k3
};

struct SimulatedRig {
    cv::Size imageSize;  // width x height, pixels
    SimulatedCamera left;
    SimulatedCamera right;
    cv::Mat R;  // 3x3 CV_64F: right-camera point = R * left-camera point + T
    cv::Mat T;  // 3x1 CV_64F, centimetres

    // Forward pair: 480 x 640 portrait images, baseline 5.9 cm.
    static SimulatedRig forward();
    // Downward pair: 640 x 480 images, baseline 3.9 cm.
    static SimulatedRig downward();
};

struct SimulatedView {
    std::vector<cv::Point2f> leftImage;
    std::vector<cv::Point3f> leftBoard;
    std::vector<cv::Point2f> rightImage;
    std::vector<cv::Point3f> rightBoard;
};

struct SimulationSettings {
    float trueUnitCm = 1.255f;      // lattice step on the screen, centimetres
    float reportedUnitCm = 1.255f;  // lattice step the task believes (board points)
    double noisePx = 0.15;          // Gaussian noise (sigma) on every image point
    std::uint64_t seed = 1;
};

// Pose of the board (Rodrigues rvec, tvec in cm) in the left camera for one of
// the 26 views; the right camera sees it at R * X + T.
void simulatedBoardPose(int view, const SimulatedRig& rig, float unitCm, cv::Mat& rvec,
                        cv::Mat& tvec);

// 26 views of the board by the rig: tilts up to about 35 degrees, distances
// 30..46 cm, some views partly outside the image. Deterministic for a seed.
std::vector<SimulatedView> simulateViews(const SimulatedRig& rig,
                                         const SimulationSettings& settings = {});
