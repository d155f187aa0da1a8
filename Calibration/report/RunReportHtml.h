#pragma once

#include "Calibration/report/RunReport.h"

#include <QString>

// report.html: one self-contained page (no scripts, no external files; the
// coverage pictures are inline SVG) that tells a user the run's result and
// why, the checks with their measured values and accepted ranges, and per
// camera what was received, ordered and dropped, how precise each image was
// and where on the image the points lay.
namespace RunReportHtml {

QString render(const RunReport::Report& report);

}  // namespace RunReportHtml
