#pragma once

#include "Calibration/report/RunReport.h"

#include <QString>

// How far the depth unit's fixed-point map lands from the float map it was
// converted from. Decodes every entry of a depth-unit map file (integer part
// plus 1/32 fraction per axis) and compares it with the raw float map's
// source coordinates, over the pixels whose source lies inside the image
// (0 <= x <= width-1, 0 <= y <= height-1). Differences are Euclidean, pixels.
//
// Both files are read whole (about 2.5 MB and 1.2 MB); a missing, short or
// mislabelled file gives compared = false with the reason in error.
namespace MapQuantisation {

RunReport::Map compare(const QString& rawMapPath, const QString& dpuMapPath, int width, int height);

}  // namespace MapQuantisation
