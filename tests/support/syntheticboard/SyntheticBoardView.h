#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

// What the drone sends for one calibration image of the on-screen circle
// board, generated from a camera model and a board pose, with the truth
// (the lattice position of every sent point). OpenCV and std only, so tests,
// benchmarks and a drone simulator can share it.
//
// Board: lattice positions (column x, row y), rows 0..19, a circle where
// x + y is odd (270 circles), marks at (11, 12), (15, 12) and (12, 7); board
// coordinates in centimetres are (x, y) times the grid unit.

// Pinhole camera with OpenCV's radial/tangential distortion (k1 k2 p1 p2 k3).
struct SyntheticCamera {
    cv::Size imageSize{640, 480};
    double fx = 380.0;
    double fy = 380.0;
    double cx = 319.5;
    double cy = 239.5;
    std::array<double, 5> distortion{{-0.25, 0.07, 0.001, -0.0005, 0.0}};

    cv::Mat cameraMatrix() const;  // 3x3 CV_64F
    cv::Mat distCoeffs() const;    // 1x5 CV_64F

    // The drone's cameras: downward images 640 x 480, forward 480 x 640.
    static SyntheticCamera downward();
    static SyntheticCamera forward();
    // The same camera without distortion.
    SyntheticCamera undistorted() const;
};

// Where the board is seen. The board is rotated about the optical axis by
// rollDeg, tilted by tiltDeg about an axis in the board plane at tiltAxisDeg
// from the board's x axis, and placed so that, untilted, its 27-step width
// spans `fill` of the image width; its centre lands `shift` (fractions of the
// image width and height) away from the principal point.
struct SyntheticPose {
    double rollDeg = 0.0;
    double tiltDeg = 0.0;
    double tiltAxisDeg = 0.0;
    double fill = 0.7;
    cv::Point2d shift{0.0, 0.0};
};

struct SyntheticOptions {
    double noisePx = 0.0;          // sigma of Gaussian noise on each centre, image pixels
    double missingFraction = 0.0;  // share of the visible circles (never marks) left out
    double ringCutShiftPx = 0.0;   // ring-cut neighbours pushed this far away from their mark
    bool shuffle = true;           // send in random order (marks never at index 0)
    // The sent frame: one lattice step is this many pixels, and the board
    // keeps this in-plane rotation (the part of the pose H does not remove).
    double normalisedStepPx = 20.0;
    double residualRotationDeg = 0.0;
    // Sigma, in sent-frame pixels, of the error of the four board corners H
    // is built from (0 = H exact for the undistorted camera).
    double homographyJitterPx = 0.0;
};

struct SyntheticView {
    std::vector<cv::Point2f> centres;       // sent: H applied to imageCentres
    std::vector<cv::Point2f> imageCentres;  // detected centres, image pixels
    std::vector<cv::Point> lattice;         // truth, one per centre
    // Indices of the marks at (11, 12), (15, 12), (12, 7); 0 when not seen.
    std::vector<size_t> marks;
    cv::Mat homography;                     // 3x3 CV_64F, image -> sent frame
    size_t visibleCount = 0;                // circles inside the image before any was left out
    std::vector<cv::Point> visibleLattice;  // their lattice positions, sent or left out
};

class SyntheticBoardView {
public:
    static constexpr int kRows = 20;
    static constexpr int kColumns = 27;
    static const std::array<cv::Point, 3> kMarks;  // sent order

    SyntheticBoardView(SyntheticCamera camera, double gridUnitCm);

    // Deterministic for equal arguments.
    SyntheticView generate(const SyntheticPose& pose, const SyntheticOptions& options,
                           uint64_t seed) const;

    // The 270 lattice positions, row by row.
    static std::vector<cv::Point> boardLattice();
    // The twelve circles the white mark rings cut into.
    static bool isRingCut(cv::Point position);

    const SyntheticCamera& camera() const { return m_camera; }
    double gridUnitCm() const { return m_gridUnitCm; }

private:
    SyntheticCamera m_camera;
    double m_gridUnitCm;
};
