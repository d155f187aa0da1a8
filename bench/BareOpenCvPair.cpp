#include "bench/BareOpenCvPair.h"

#include <opencv2/calib3d.hpp>

#include <cfloat>
#include <cstdio>

namespace BareOpenCvPair {

bool calibrate(const ImageData& s, bool forward) {
    const cv::Size size = forward ? cv::Size(480, 640) : cv::Size(640, 480);
    try {
        cv::Mat KL = cv::Mat::eye(3, 3, CV_64F), KR = cv::Mat::eye(3, 3, CV_64F);
        cv::Mat dL = cv::Mat::zeros(5, 1, CV_64F), dR = cv::Mat::zeros(5, 1, CV_64F);
        std::vector<cv::Mat> rvecs, tvecs;
        const cv::TermCriteria mono(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, 30,
                                    DBL_EPSILON);
        cv::calibrateCamera(forward ? s.m_vecWorld_front : s.m_vecWorld_down,
                            forward ? s.m_vecLeftPix_front : s.m_vecLeftPix_down, size, KL, dL,
                            rvecs, tvecs, 0, mono);
        cv::calibrateCamera(forward ? s.m_vecRightWorld_front : s.m_vecRightWorld_down,
                            forward ? s.m_vecRightPix_front : s.m_vecRightPix_down, size, KR, dR,
                            rvecs, tvecs, 0, mono);
        cv::Mat R, T, E, F, R1, R2, P1, P2, Q, lx, ly, rx, ry;
        cv::stereoCalibrate(
            forward ? s.m_vecStereoWorld_front : s.m_vecStereoWorld_down,
            forward ? s.m_vecStereoLeftPix_front : s.m_vecStereoLeftPix_down,
            forward ? s.m_vecStereoRightPix_front : s.m_vecStereoRightPix_down, KL, dL, KR, dR,
            size, R, T, E, F, cv::CALIB_USE_INTRINSIC_GUESS,
            cv::TermCriteria(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, 100, 1e-5));
        cv::stereoRectify(KL, dL, KR, dR, size, R, T, R1, R2, P1, P2, Q, cv::CALIB_ZERO_DISPARITY,
                          0, size);
        cv::initUndistortRectifyMap(KL, dL, R1, P1, size, CV_32FC1, lx, ly);
        cv::initUndistortRectifyMap(KR, dR, R2, P2, size, CV_32FC1, rx, ry);
        return true;
    } catch (const cv::Exception& e) {
        std::fprintf(stderr, "OpenCV refused the %s pair: %s\n", forward ? "forward" : "downward",
                     e.what());
        return false;
    }
}

}  // namespace BareOpenCvPair
