#pragma once

#include "Calibration/report/RunReportSummary.h"

#include <QString>

#include <functional>

// What the result pages say about a run, from its report: in the user's
// language, with the measured values and accepted ranges the report holds.
namespace RunResultTexts {

// Gives a text of the translation tables in the page's language: the Chinese
// line as given, or its English line.
using InLangue = std::function<QString(const QString& zh)>;

// Why the run failed: the failed check in words with its measured value and
// accepted range (board size, blurred images, too few images, a camera that
// saw nothing, ...) or the reason outside the checks (the last image, the
// connection to the drone, the maps, the upload), and for some a second line
// of what to do. One or two lines joined by "\n"; empty for a run that passed.
QString failureReason(const RunReportSummary& report, const InLangue& inLangue);

// One line: RMS and baseline (with its accepted range) of each calibrated
// pair; empty when the report has none.
QString quality(const RunReportSummary& report, const InLangue& inLangue);

// The run failed on the board's size (the baseline check): the screen size
// check is what to do.
bool isBoardSizeFailure(const RunReportSummary& report);

// Opens the report's report.html with the desktop's default handler
// (QDesktopServices, whose URL handlers are the seam for tests). False, with a
// log line, when there is no such file or nothing opened it.
bool openReport(const RunReportSummary& report);

}  // namespace RunResultTexts
