#pragma once

#include "tools/dronesim/BoardImage.h"
#include "tools/dronesim/Rig.h"
#include "tools/dronesim/SimCamera.h"

#include <opencv2/core.hpp>

#include <array>
#include <list>
#include <mutex>

// Draws what a camera of the rig sees of the board at one of the rig's poses:
// every output pixel is traced back through the camera's distortion and pinhole
// model to the board plane and sampled from the rendered board (bilinear, on the
// pyramid level that matches the view's scale).
//
// The per-pixel rays of each camera are computed once; the sampling maps of a
// (camera, pose) pair are computed on first use and kept in a small cache, so a
// stream that stays on one pose costs one remap per frame. Thread-safe.
class CameraViewRenderer {
public:
    CameraViewRenderer(const Rig& rig, const BoardImage& board);

    // Fills `out` with the 8-bit grey view of `camera` at `poseIndex` (width ×
    // height of that camera). A pose index outside [0, 26) is clamped.
    void render(SimCamera camera, int poseIndex, cv::Mat& out);

private:
    struct ViewMaps {
        SimCamera camera;
        int poseIndex;
        int level;
        cv::Mat fixedPoint;     // CV_16SC2
        cv::Mat interpolation;  // CV_16UC1
    };

    const cv::Mat& rays(SimCamera camera);
    const ViewMaps& maps(SimCamera camera, int poseIndex);
    ViewMaps buildMaps(SimCamera camera, int poseIndex);

    static constexpr size_t kCacheSize = 12;

    const Rig& m_rig;
    const BoardImage& m_board;
    std::mutex m_mutex;
    std::array<cv::Mat, 4> m_rays;  // CV_32FC2 normalised image coordinates per pixel
    std::list<ViewMaps> m_cache;    // most recently used first
};
