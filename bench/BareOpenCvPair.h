#pragma once

#include "Calibration/ImageData.h"

// The OpenCV calls of one pair's calibration, exactly as the calibration
// makes them (cv::calibrateCamera for each camera, cv::stereoCalibrate,
// cv::stereoRectify, cv::initUndistortRectifyMap for each camera), one after
// the other on the calling thread, on the lists fixSortData left in store.
// Nothing is written or checked: the floor under the calibration's time.
// False when OpenCV refuses the data.
namespace BareOpenCvPair {

bool calibrate(const ImageData& store, bool forward);

}  // namespace BareOpenCvPair
