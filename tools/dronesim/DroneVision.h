#pragma once

#include "device/wire/FeatureData.h"
#include "tools/dronesim/Rig.h"

#include <opencv2/core.hpp>

#include <cstdint>
#include <vector>

// The drone's own image processing for one captured image, computed from the
// ground truth instead of from pixels: every circle of the board (270, marks and
// ring-cut circles included) projected through the camera, kept when it lies
// inside the image (2 px margin), with Gaussian detection noise, some circles
// missed, in shuffled order; the result is mapped by the drone's normalising
// homography H into a fronto-parallel board frame whose lattice step is stepPx
// pixels, and carries H and the list indexes of the three mark circles (never 0
// for a seen mark, 0 for an unseen one).
//
// Both the simulator's data channel and the test support's feature model use
// this, so that what the tests feed the desktop is what the simulator sends.
struct DroneVisionSettings {
    double noisePx = 0.15;         // detection noise (sigma), image pixels
    double stepPx = 20.0;          // lattice step in the sent frame, pixels
    double missingFraction = 0.0;  // share of non-mark circles the detector misses
    bool hideMarks = false;        // the marks are not found (fault injection)
    std::uint64_t seed = 7;
};

namespace DroneVision {

// Lattice positions of the marks in the order of FeatureData::size.
const std::array<cv::Point, 3>& markOrder();

// One image: the board in the camera frame is X_cam = R · X_board + t (board
// centimetres, origin at lattice circle (0, 0), lattice step unitCm). `pair` 4 or
// 5, `camera` 1 (left) or 2 (right), `index` 0..25. Deterministic for equal
// arguments. Fewer than four circles seen: no points and an all-zero matrix (the
// desktop drops a packet without points). `truth`, when given, receives the
// lattice position of each sent point, in sent order.
FeatureData features(const CameraModel& model, const cv::Matx33d& R, const cv::Vec3d& t,
                     double unitCm, int pair, int camera, int index,
                     const DroneVisionSettings& settings, std::vector<cv::Point>* truth = nullptr);

}  // namespace DroneVision
