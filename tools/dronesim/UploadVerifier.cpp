#include "tools/dronesim/UploadVerifier.h"

#include "Calibration/hi_dpu_tool.h"

#include <QJsonArray>
#include <QtEndian>

#include <opencv2/calib3d.hpp>

#include <algorithm>
#include <cmath>

namespace {

constexpr std::array<SimCamera, 4> kUploadOrder = {SimCamera::ForwardLeft, SimCamera::ForwardRight,
                                                   SimCamera::DownwardLeft,
                                                   SimCamera::DownwardRight};

quint16 typeCodeOf(SimCamera camera) {
    const int pair = pairOf(camera) == SimPair::Forward ? 1 : 2;
    const int side = isLeft(camera) ? 1 : 2;
    return static_cast<quint16>(pair | (side << 8));
}

// The truth rectification map of one camera: source x and y per pixel.
void truthMap(const CameraPair& pair, bool left, cv::Mat* mapX, cv::Mat* mapY) {
    const cv::Size size(pair.left.width, pair.left.height);
    cv::Matx33d R;
    cv::Rodrigues(pair.rvec, R);
    cv::Mat R1, R2, P1, P2, Q;
    cv::stereoRectify(pair.left.cameraMatrix(), pair.left.distortion, pair.right.cameraMatrix(),
                      pair.right.distortion, size, R, pair.translation, R1, R2, P1, P2, Q,
                      cv::CALIB_ZERO_DISPARITY, 0, size);
    const CameraModel& cam = left ? pair.left : pair.right;
    cv::initUndistortRectifyMap(cam.cameraMatrix(), cam.distortion, left ? R1 : R2, left ? P1 : P2,
                                size, CV_32FC1, *mapX, *mapY);
}

double percentile(std::vector<double>& values, double q) {
    if (values.empty()) {
        return NAN;
    }
    const auto k = static_cast<size_t>(q * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
    return values[k];
}

}  // namespace

QJsonObject UploadVerifier::checkCamera(SimCamera camera, const UploadStreamParser::Upload& upload,
                                        QStringList* failures) const {
    const QString name = QString::fromStdString(cameraName(camera));
    const CameraModel& model = m_truth.camera(camera);
    const CameraPair& pair = m_truth.pair(pairOf(camera));
    QJsonObject out;
    out["name"] = name;
    out["typeCode"] = upload.result.typeCode();
    const int failuresBefore = failures->size();
    auto fail = [&](const QString& text) { failures->append(name + ": " + text); };

    if (upload.result.typeCode() != typeCodeOf(camera)) {
        fail(QStringLiteral("type code %1, expected %2")
                 .arg(upload.result.typeCode())
                 .arg(typeCodeOf(camera)));
    }
    const struct {
        const char* key;
        double value;
        double truth;
    } numbers[] = {{"fx", upload.result.fx, model.fx},
                   {"fy", upload.result.fy, model.fy},
                   {"cx", upload.result.cx, model.cx},
                   {"cy", upload.result.cy, model.cy},
                   {"absT0", std::abs(upload.result.tx), std::abs(pair.translation[0])}};
    for (const auto& n : numbers) {
        const double relative = std::abs(n.value - n.truth) / std::abs(n.truth);
        out[n.key] = n.value;
        out[QString(n.key) + "Truth"] = n.truth;
        if (!(relative <= kMaxRelativeError)) {
            fail(QStringLiteral("%1 %2, truth %3 (%4 %)")
                     .arg(n.key)
                     .arg(n.value, 0, 'f', 4)
                     .arg(n.truth, 0, 'f', 4)
                     .arg(relative * 100, 0, 'f', 2));
        }
    }

    if (!upload.chunksInOrder) {
        fail(QStringLiteral("file chunks out of order"));
    }
    const QByteArray& file = upload.file;
    out["fileSize"] = file.size();
    if (file.size() != mapFileSize(model)) {
        fail(QStringLiteral("map file of %1 bytes, expected %2")
                 .arg(file.size())
                 .arg(mapFileSize(model)));
        out["pass"] = false;
        return out;
    }
    const auto* b = reinterpret_cast<const uchar*>(file.constData());
    const quint32 crc = dpu_tool_calc_crc32(0, b + 4, static_cast<std::uint32_t>(file.size() - 4));
    if (qFromLittleEndian<quint32>(b) != crc) {
        fail(QStringLiteral("map CRC mismatch"));
    }
    if (file.mid(4, 8) != QByteArray("DPU_1.0\0", 8)) {
        fail(QStringLiteral("map tag is not DPU_1.0"));
    }
    const auto width = qFromLittleEndian<quint32>(b + 12);
    const auto height = qFromLittleEndian<quint32>(b + 16);
    if (width != quint32(model.width) || height != quint32(model.height)) {
        fail(QStringLiteral("map is %1 x %2, expected %3 x %4")
                 .arg(width)
                 .arg(height)
                 .arg(model.width)
                 .arg(model.height));
    }

    cv::Mat mapX, mapY;
    truthMap(pair, isLeft(camera), &mapX, &mapY);
    std::vector<double> errors;
    errors.reserve(static_cast<size_t>(model.width * model.height));
    for (int y = 0; y < model.height; ++y) {
        for (int x = 0; x < model.width; ++x) {
            const float tx = mapX.at<float>(y, x);
            const float ty = mapY.at<float>(y, x);
            if (!(tx >= 0 && ty >= 0 && tx <= model.width - 1 && ty <= model.height - 1)) {
                continue;
            }
            const auto e = qFromLittleEndian<quint32>(b + kDpuHeaderSize +
                                                      4 * static_cast<size_t>(y * model.width + x));
            const double sx = ((e >> 10) & 0x7FF) + (e & 31) / 32.0;
            const double sy = ((e >> 21) & 0x7FF) + ((e >> 5) & 31) / 32.0;
            errors.push_back(std::hypot(sx - tx, sy - ty));
        }
    }
    const double median = percentile(errors, 0.5);
    const double p95 = percentile(errors, 0.95);
    out["mapPixelsCompared"] = static_cast<int>(errors.size());
    out["mapMedianPx"] = median;
    out["mapP95Px"] = p95;
    if (!(median <= kMaxMedianPx && p95 <= kMaxP95Px)) {
        fail(QStringLiteral("map error median %1 px, p95 %2 px (limits %3, %4)")
                 .arg(median, 0, 'f', 3)
                 .arg(p95, 0, 'f', 3)
                 .arg(kMaxMedianPx)
                 .arg(kMaxP95Px));
    }
    out["pass"] = failures->size() == failuresBefore;
    return out;
}

QJsonObject UploadVerifier::verify(const UploadStreamParser& upload) const {
    QStringList failures;
    QJsonObject report;
    report["verdict"] = upload.sawRight() ? "right" : upload.sawWrong() ? "wrong" : "";
    if (!upload.sawRight()) {
        failures << QStringLiteral("the desktop did not send \"right\"");
    }
    if (upload.malformed()) {
        failures << QStringLiteral("the upload stream is malformed");
    }
    const QList<UploadStreamParser::Upload>& uploads = upload.uploads();
    if (upload.sawRight() && uploads.size() != 4) {
        failures << QStringLiteral("%1 result packets, expected 4").arg(uploads.size());
    }
    QJsonArray cameras;
    for (int i = 0; i < uploads.size() && i < 4; ++i) {
        cameras.append(checkCamera(kUploadOrder[static_cast<size_t>(i)], uploads.at(i), &failures));
    }
    report["cameras"] = cameras;
    report["failures"] = QJsonArray::fromStringList(failures);
    report["pass"] = failures.isEmpty();
    report["thresholds"] = QJsonObject{{"relativeError", kMaxRelativeError},
                                       {"mapMedianPx", kMaxMedianPx},
                                       {"mapP95Px", kMaxP95Px}};
    return report;
}

QString UploadVerifier::summary(const QJsonObject& report) {
    QStringList lines;
    for (const QJsonValue& v : report["cameras"].toArray()) {
        const QJsonObject c = v.toObject();
        lines << QStringLiteral(
                     "%1: fx %2 fy %3 cx %4 cy %5 |T0| %6 cm, map median %7 px p95 %8 px")
                     .arg(c["name"].toString())
                     .arg(c["fx"].toDouble(), 0, 'f', 2)
                     .arg(c["fy"].toDouble(), 0, 'f', 2)
                     .arg(c["cx"].toDouble(), 0, 'f', 2)
                     .arg(c["cy"].toDouble(), 0, 'f', 2)
                     .arg(c["absT0"].toDouble(), 0, 'f', 3)
                     .arg(c["mapMedianPx"].toDouble(), 0, 'f', 3)
                     .arg(c["mapP95Px"].toDouble(), 0, 'f', 3);
    }
    QStringList failures;
    for (const QJsonValue& v : report["failures"].toArray()) {
        failures << v.toString();
    }
    lines << (report["pass"].toBool() ? QStringLiteral("PASS")
                                      : QStringLiteral("FAIL: ") + failures.join("; "));
    return lines.join('\n');
}
