#pragma once

#include "tools/dronesim/DroneVision.h"
#include "tools/dronesim/Rig.h"

#include <QString>

#include <opencv2/core.hpp>

#include <cstdint>
#include <limits>

// A whole calibration run of a ground-truth rig, ordered twice: by the
// ordering tasks from the drone's feature packets (DroneVision), and by the
// truth, every sent circle except the ring-cut ones at its true lattice
// position. Both lists go through the same store calibration
// (ImageData::calibrateRun), and each calibration is judged by how far apart
// in y true correspondences land after its rectification.

struct StereoRunSettings {
    double noisePx = 0.3;           // detection noise (sigma), image pixels
    double missingFraction = 0.02;  // share of circles the detector misses
    std::uint64_t seed = 7;
    // The board on the screen: circle radius and screen width.
    int radiusPx = 26;
    double screenWidthMm = 344.256;
    int screenWidthPx = 1920;
};

struct StereoPairJudgement {
    bool calibrated = false;
    // 95th percentile of |y_left - y_right| over true correspondences (points
    // 25 to 200 cm in front of the left camera seen by both cameras),
    // rectified with the calibration; rectified pixels. NaN when not calibrated.
    double verticalP95Px = std::numeric_limits<double>::quiet_NaN();
    size_t correspondences = 0;
};

struct StereoRunOutcome {
    size_t placeable = 0;            // sent circles not cut by a mark ring
    size_t assigned = 0;             // of them, stored at their true lattice position
    size_t wrong = 0;                // entries stored at another position
    int imagesDropped = 0;           // images (of 104) for which the ordering stored nothing
    StereoPairJudgement ordered[2];  // forward, downward
    StereoPairJudgement truth[2];

    double coverage() const {
        return placeable ? static_cast<double>(assigned) / static_cast<double>(placeable) : 0.0;
    }
    // The larger p95 of the two pairs (NaN when a pair was not calibrated).
    double worstOrdered() const;
    double worstTruth() const;
};

namespace OrderedStereoRun {

// Orders and calibrates the run twice; writes the calibration logs and maps
// under `folder` (which must exist). Blocking, single-threaded.
StereoRunOutcome run(const Rig& rig, const StereoRunSettings& settings, const QString& folder);

// A rig of the simulator's kind with every value drawn anew from `seed`:
// focal lengths, centres and lens distortion of each camera, the relative
// pose of each pair (baselines within the accepted ranges) and the 26 board
// poses, views pushed half off the picture included.
Rig generatedRig(std::uint64_t seed);

// The judgement of one calibration of `truth`: K, distortion, R and T as
// cv::stereoCalibrate returns them, rectified as the store does.
StereoPairJudgement judge(const CameraPair& truth, const cv::Mat& leftK, const cv::Mat& leftDist,
                          const cv::Mat& rightK, const cv::Mat& rightDist, const cv::Mat& R,
                          const cv::Mat& T);

}  // namespace OrderedStereoRun
