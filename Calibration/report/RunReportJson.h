#pragma once

#include "Calibration/report/RunReport.h"

#include <QJsonObject>

// report.json: the report's numbers for tools and support. Values the run
// never computed are null. Points and residuals are left to the HTML picture;
// the JSON keeps per-image counts and per-view RMS.
namespace RunReportJson {

QJsonObject toJson(const RunReport::Report& report);

}  // namespace RunReportJson
