#pragma once

#include "tools/dronesim/Rig.h"
#include "tools/dronesim/UploadStreamParser.h"

#include <QJsonObject>
#include <QString>

// Checks what the desktop uploaded after a run against the ground truth:
// "right", then four ResultData in the order forward left, forward right,
// downward left, downward right (type codes 257, 513, 258, 514), each followed
// by a well-formed depth-unit map file (size width × height × 4 + 20, tag
// "DPU_1.0", width, height, CRC-32). fx, fy, cx, cy and |T[0]| must be within
// 1 % of the truth. Every map entry is decoded (1/32 px fixed point) and
// compared with the truth rectification map (cv::stereoRectify with
// CALIB_ZERO_DISPARITY, alpha 0, on the true rig; then
// cv::initUndistortRectifyMap) over the pixels whose true source lies inside the
// image: the map passes when the median error is at most kMaxMedianPx and the
// 95th percentile at most kMaxP95Px.
class UploadVerifier {
public:
    static constexpr double kMaxRelativeError = 0.01;
    static constexpr double kMaxMedianPx = 0.5;
    static constexpr double kMaxP95Px = 1.0;

    explicit UploadVerifier(const Rig& truth) : m_truth(truth) {}

    // The report: {"pass": bool, "verdict": "right"|"wrong"|"", "failures": [...],
    // "cameras": [{"name", "typeCode", "fx", "fxTruth", ..., "mapMedianPx",
    // "mapP95Px", "pass"}]}. Every failure is one readable sentence.
    QJsonObject verify(const UploadStreamParser& upload) const;

    // One line per camera and a PASS/FAIL line, for a person reading the log.
    static QString summary(const QJsonObject& report);

    // File size of the depth-unit map of a camera.
    static int mapFileSize(const CameraModel& camera) {
        return camera.width * camera.height * 4 + 20;
    }

private:
    QJsonObject checkCamera(SimCamera camera, const UploadStreamParser::Upload& upload,
                            QStringList* failures) const;

    const Rig& m_truth;
};
