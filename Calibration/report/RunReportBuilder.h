#pragma once

#include "Calibration/CalibrationRunTracker.h"
#include "Calibration/report/RunReport.h"

#include <vector>

class ImageData;

// Gathers a finished run's report from the store (result, calibration
// diagnostics, map paths), the ordering tasks' records and the board
// geometry. Reads the store only; call it after the run's result is
// published and before the next run starts. The per-view RMS and each point's
// residual are the single-camera calibration's own: its board poses and
// intrinsics reprojected (cv::projectPoints), so nothing is calibrated again.
// Maps are compared only for pairs whose maps this run wrote.
class RunReportBuilder {
public:
    struct Input {
        const ImageData* store = nullptr;
        std::vector<CalibrationRunTracker::TaskRecord> tasks;
        RunReport::Board board;  // latticeUnitCm is computed
        QString source;          // "live" or "replay"
        QString record;          // path of the run record
    };

    static RunReport::Report build(const Input& input);

    // How many of the worst views each camera's picture marks.
    static constexpr int kWorstViews = 3;
};
