#include "Calibration/report/MapQuantisation.h"

#include "device/wire/LittleEndian.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

bool readExactly(const QString& path, qint64 size, QByteArray* out, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), file.errorString());
        return false;
    }
    if (file.size() != size) {
        *error = QStringLiteral("%1 has %2 bytes, expected %3")
                     .arg(QFileInfo(path).fileName())
                     .arg(file.size())
                     .arg(size);
        return false;
    }
    *out = file.readAll();
    if (out->size() != size) {
        *error = QStringLiteral("%1 could not be read whole").arg(QFileInfo(path).fileName());
        return false;
    }
    return true;
}

}  // namespace

namespace MapQuantisation {

RunReport::Map compare(const QString& rawMapPath, const QString& dpuMapPath, int width,
                       int height) {
    RunReport::Map map;
    map.file = QFileInfo(dpuMapPath).fileName();
    map.width = width;
    map.height = height;
    const qint64 pixels = static_cast<qint64>(width) * height;
    QByteArray raw, dpu;
    if (width <= 0 || height <= 0 || !readExactly(rawMapPath, pixels * 8, &raw, &map.error) ||
        !readExactly(dpuMapPath, pixels * 4 + 20, &dpu, &map.error)) {
        return map;
    }
    const char* d = dpu.constData();
    if (std::memcmp(d + 4, "DPU_1.0\0", 8) != 0 ||
        LittleEndian::readU32(d + 12) != static_cast<std::uint32_t>(width) ||
        LittleEndian::readU32(d + 16) != static_cast<std::uint32_t>(height)) {
        map.error = QStringLiteral("%1 is not a %2 x %3 depth-unit map")
                        .arg(map.file)
                        .arg(width)
                        .arg(height);
        return map;
    }

    std::vector<float> errors;
    errors.reserve(static_cast<size_t>(pixels));
    const char* r = raw.constData();
    for (qint64 i = 0; i < pixels; ++i) {
        // Raw maps are in the machine's byte order, little-endian here.
        const float sx = LittleEndian::readF32(r + i * 8);
        const float sy = LittleEndian::readF32(r + i * 8 + 4);
        if (!(sx >= 0.0f && sx <= width - 1 && sy >= 0.0f && sy <= height - 1)) {
            continue;
        }
        const std::uint32_t e = LittleEndian::readU32(d + 20 + i * 4);
        const double x = ((e >> 10) & 0x7FFu) + (e & 31u) / 32.0;
        const double y = ((e >> 21) & 0x7FFu) + ((e >> 5) & 31u) / 32.0;
        errors.push_back(static_cast<float>(std::hypot(x - sx, y - sy)));
    }
    map.compared = true;
    map.insidePixels = static_cast<qint64>(errors.size());
    if (errors.empty()) {
        return map;
    }
    map.maxErrorPx = *std::max_element(errors.begin(), errors.end());
    auto middle = errors.begin() + static_cast<std::ptrdiff_t>(errors.size() / 2);
    std::nth_element(errors.begin(), middle, errors.end());
    map.medianErrorPx = *middle;
    return map;
}

}  // namespace MapQuantisation
