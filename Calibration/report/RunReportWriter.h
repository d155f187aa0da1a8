#pragma once

#include "Calibration/report/RunReport.h"

#include <QString>

// Writes a run's report.json and report.html into a folder (both replaced).
// A file that cannot be written gives one log line and false; nothing else
// depends on the report, so callers carry on.
namespace RunReportWriter {

bool write(const QString& folder, const RunReport::Report& report);

// The report of the run that just ended in the process-wide store and run
// tracker, written into folder. Call after the run's result is published.
bool writeForCurrentRun(const QString& folder, const QString& source, const QString& record,
                        const RunReport::Board& board);

}  // namespace RunReportWriter
