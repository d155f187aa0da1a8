#pragma once

#include "tools/dronesim/SimCamera.h"

#include <opencv2/core.hpp>

#include <string>
#include <vector>

// Ground truth of the simulated drone: what each camera is, how the cameras of a
// pair sit relative to each other, and where the drone is for each image.
// Plain data (no Qt) so that the RTSP side can use it; RigJson reads and writes it.
//
// Units: pixels for the intrinsics, centimetres for every translation, radians
// for rotation vectors (OpenCV Rodrigues form). The distortion coefficients are
// OpenCV's five-term model (k1, k2, p1, p2, k3).

struct CameraModel {
    int width = 0;
    int height = 0;
    double fx = 0, fy = 0, cx = 0, cy = 0;
    cv::Vec<double, 5> distortion;

    cv::Matx33d cameraMatrix() const { return {fx, 0, cx, 0, fy, cy, 0, 0, 1}; }
};

// Where the board is for one image, seen from the pair's left camera:
// X_left = R(rvec) · (X_board − c) + tvec, with X_board in the board frame
// (origin at the centre of lattice circle (0, 0), x along the columns, y along the
// rows, z into the screen, centimetres) and c the board's centre, the lattice
// point (13, 9.5). Anchoring the pose at the board centre keeps a rig valid for
// any board scale.
struct DronePose {
    cv::Vec3d rvec;
    cv::Vec3d tvec;
};

struct CameraPair {
    CameraModel left;
    CameraModel right;
    // Right camera from left camera, OpenCV stereo convention:
    // X_right = R(rvec) · X_left + translation.
    cv::Vec3d rvec;
    cv::Vec3d translation;
    std::vector<DronePose> poses;  // one per image, kImagesPerCamera of them
};

struct Rig {
    static constexpr int kImagesPerCamera = 26;

    CameraPair forward;
    CameraPair downward;

    // Realistic built-in values: OV7251 cameras (480 × 640 forward, 640 × 480
    // downward) with mild lens distortion, baselines 5.9 cm and 3.9 cm, and 26
    // varied poses per pair, a few of them showing the board only in part.
    static Rig defaults();

    const CameraPair& pair(SimPair which) const {
        return which == SimPair::Forward ? forward : downward;
    }
    const CameraModel& camera(SimCamera which) const {
        const CameraPair& p = pair(pairOf(which));
        return isLeft(which) ? p.left : p.right;
    }

    // Board-to-camera transform of `camera` at image `poseIndex` for a board whose
    // lattice step is `unitCm`: X_cam = R · X_board + t (X_board as in DronePose).
    // poseIndex must be in [0, poses.size()).
    void boardToCamera(SimCamera camera, int poseIndex, double unitCm, cv::Matx33d& R,
                       cv::Vec3d& t) const;

    // Empty when the rig is usable, else a description of the first problem
    // (bad image size, non-positive focal length, wrong pose count, ...).
    std::string validate() const;
};
