#pragma once

#include "Calibration/report/RunReport.h"

#include <QString>

// Writes a run's report.json and report.html into a folder (both replaced).
// A file that cannot be written gives one log line, false and why in error.
namespace RunReportWriter {

bool write(const QString& folder, const RunReport::Report& report, QString* error = nullptr);

}  // namespace RunReportWriter
