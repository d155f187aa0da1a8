#pragma once

#include "device/wire/FeatureData.h"

#include <QString>

// Whether a parsed feature record may go to the ordering: the values the drone
// sends are checked against what a calibration run can hold, so that no record
// lands in another pair's or camera's slots or makes the ordering's work grow
// without bound.
class FeatureRecordCheck {
public:
    // Images per camera: global image numbers are index (forward) or
    // index + 26 (downward), so an index above 25 would reach another pair.
    static constexpr std::uint32_t kImagesPerCamera = 26;
    // Centres closer than this (pixels, both axes) count as one place. The
    // board's circles are many pixels apart; a detector may report one twice,
    // but many centres at one place only come from corrupt data, and they
    // make the ordering's neighbourhood graph complete (quadratic memory,
    // cubic work).
    static constexpr float kSamePlacePx = 0.5f;
    static constexpr int kMaxRepeatedCentres = 8;

    // Empty when the record is usable; otherwise why not, for the log. Rules:
    // pair (view) 4 or 5, camera (view1) 1 or 2, at least one centre, image
    // index 0..25, at most kMaxRepeatedCentres centres at the place of an
    // earlier one.
    static QString rejection(const FeatureData& data);

    // How many centres lie at the place of an earlier centre (within
    // kSamePlacePx on both axes). Non-finite centres never match.
    static int repeatedCentres(const std::vector<cv::Point2f>& centres);
};
