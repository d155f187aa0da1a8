#pragma once

#include "Calibration/CalibrationRun.h"
#include "Calibration/RunOutcome.h"
#include "Calibration/report/RunReport.h"

#include <vector>

class ImageData;

// Gathers a finished run's report from its outcome, its store (calibration
// diagnostics, map paths), the ordering tasks' records and the board
// geometry. Reads the store only; call it once the run's outcome is known. The per-view RMS and
// each point's residual are the single-camera calibration's own: its board poses and intrinsics
// reprojected (cv::projectPoints), so nothing is calibrated again. Maps are compared only for pairs
// whose maps this run wrote.
class RunReportBuilder {
public:
    struct Input {
        const ImageData* store = nullptr;
        RunOutcome outcome;
        std::vector<CalibrationRun::ImageRecord> tasks;
        RunReport::Board board;  // latticeUnitCm is computed
        QString source;          // "live" or "replay"
        QString record;          // path of the run record
    };

    static RunReport::Report build(const Input& input);

    // The report of a finished run, ended as outcome says (the run's own
    // outcome, or what became of it afterwards, the upload failing say).
    static RunReport::Report build(const CalibrationRun& run, const RunOutcome& outcome,
                                   const RunReport::Board& board, const QString& source,
                                   const QString& record);

    // How many of the worst views each camera's picture marks.
    static constexpr int kWorstViews = 3;
};
