#pragma once

#include "Calibration/report/RunReport.h"

#include <QString>

// The coverage picture of one camera as an inline SVG element: the image
// frame (image pixels, scaled so its longer side is displayPx), every point
// the camera was calibrated from coloured by its residual (green 0 px,
// yellow 0.5 px, red 1 px and more), every sent circle that was not used as
// a grey ring, and the worst views outlined and labelled with their image
// number. An empty frame with a note when the
// camera has no views.
namespace CoverageSvg {

QString render(const RunReport::Camera& camera, int displayPx = 420);

// "#rrggbb" for a residual in pixels, the picture's colour scale.
QString residualColour(double residualPx);

}  // namespace CoverageSvg
