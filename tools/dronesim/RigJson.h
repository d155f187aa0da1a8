#pragma once

#include "tools/dronesim/Rig.h"

#include <QByteArray>
#include <QString>

// The rig file: JSON, every length in centimetres, every angle as an OpenCV
// rotation vector in radians.
//
//   { "forward":  { "left":  { "width": 480, "height": 640,
//                              "fx": …, "fy": …, "cx": …, "cy": …,
//                              "distortion": [k1, k2, p1, p2, k3] },
//                   "right": { … },
//                   "rotation": [rx, ry, rz],        // right from left
//                   "translation": [tx, ty, tz],     // right from left, cm
//                   "poses": [ { "rvec": [...], "tvec": [...] }, … 26 ] },
//     "downward": { … } }
//
// Reading starts from the built-in defaults and replaces only what the file
// names, so a file may hold a single changed value. Anything present must be
// well formed: a wrong type, a wrong array length or a pose list that is not
// 26 long is an error naming the offending key.
namespace RigJson {

QByteArray write(const Rig& rig);

// False with `error` set ("forward.left.fx: expected a number", ...).
bool read(const QByteArray& json, Rig* rig, QString* error);

}  // namespace RigJson
