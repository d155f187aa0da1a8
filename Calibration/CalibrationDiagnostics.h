#pragma once

#include <QString>

#include <opencv2/core.hpp>

#include <limits>
#include <vector>

// What one run's calibration computed and where it stopped, kept for the run
// report. The computation fills it as it goes and never reads it, so it has no
// influence on the result or the uploaded maps.
struct CameraDiagnostics {
    static constexpr double kNotComputed = std::numeric_limits<double>::quiet_NaN();

    bool calibrated = false;    // cv::calibrateCamera returned
    double rms = kNotComputed;  // pixels
    cv::Mat intrinsics;         // 3x3 CV_64F from the single-camera calibration
    cv::Mat distortion;         // 5x1 CV_64F: k1, k2, p1, p2, k3
    cv::Mat refinedIntrinsics;  // after the stereo calibration (empty if not reached)
    cv::Mat refinedDistortion;
    // The views the camera was calibrated from, in calibration order, and
    // the board pose of each (Rodrigues rotation, translation in cm).
    std::vector<std::vector<cv::Point2f>> imagePoints;
    std::vector<std::vector<cv::Point3f>> boardPoints;
    std::vector<cv::Mat> rvecs;
    std::vector<cv::Mat> tvecs;
};

struct PairDiagnostics {
    // The check at which the pair's calibration ended, in the order the
    // computation makes them. Passed: every check held and the maps were
    // written.
    enum class Stop {
        NotRun,            // never started (the run or the forward pair failed)
        OpenCvRefused,     // OpenCV threw; opencvError says why
        NoStereoViews,     // stereo lists empty or of unequal length
        TranslationEmpty,  // the stereo calibration gave no translation
        BaselineOutOfRange,
        RmsTooHigh,
        OutputFailed,  // every check held, but the log or a map could not be written
        Passed,
    };

    Stop stop = Stop::NotRun;
    QString opencvError;
    QString outputError;  // the first output that could not be written, and why
    cv::Size imageSize;
    double minBaselineCm = 0.0;
    double maxBaselineCm = 0.0;
    double maxRmsPx = 0.0;
    CameraDiagnostics left;
    CameraDiagnostics right;
    int stereoViews = 0;                                  // matched views handed to stereoCalibrate
    double stereoRms = CameraDiagnostics::kNotComputed;   // pixels
    double baselineCm = CameraDiagnostics::kNotComputed;  // |T[0]|
    cv::Mat R;                                            // 3x3 CV_64F
    cv::Mat T;                                            // 3x1 CV_64F, centimetres
};

struct CalibrationDiagnostics {
    PairDiagnostics forward;
    PairDiagnostics downward;
};
