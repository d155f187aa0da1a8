#include "device/wire/FeaturePacket.h"

#include "device/wire/FeatureRecordCheck.h"
#include "device/wire/LittleEndian.h"

#include <QDebug>
#include <QString>

namespace {

constexpr char kHead0 = 0x01;
constexpr char kHead1 = 0x02;
constexpr char kTail0 = 0x03;
constexpr char kTail1 = 0x04;

constexpr int kViewOffset = 2;
constexpr int kView1Offset = 3;
constexpr int kIndexOffset = 4;
constexpr int kLenOffset = 8;
constexpr int kPointsOffset = 12;
// Offsets after the point area, relative to its end.
constexpr int kSizeOffset = 12;
constexpr int kMatOffset = 36;

void logDebugBlock(const FeatureData& data, const QByteArray& packet) {
    qDebug() << "head =" << static_cast<int>(static_cast<unsigned char>(packet[0]))
             << static_cast<int>(static_cast<unsigned char>(packet[1]));
    qDebug() << "len =" << data.len;
    qDebug() << "view =" << static_cast<int>(data.view);
    qDebug() << "view1 =" << static_cast<int>(data.view1);
    qDebug() << "index =" << data.index;
    qDebug() << "size =" << data.points.size() << data.size[0] << data.size[1] << data.size[2];
    QDebug mat = qDebug();
    mat << "mat =";
    for (double v : data.mat) {
        mat << v;
    }
    qDebug().noquote() << QString(63, QLatin1Char('-'));
}

}  // namespace

bool FeaturePacket::startsWithHead(const char* bytes, int size) {
    return size >= 2 && bytes[0] == kHead0 && bytes[1] == kHead1;
}

bool FeaturePacket::endsWithTail(const QByteArray& packet) {
    const int n = packet.size();
    return n >= 2 && packet[n - 2] == kTail0 && packet[n - 1] == kTail1;
}

bool FeaturePacket::isFramableLength(std::uint32_t len) {
    if (len == static_cast<std::uint32_t>(kIgnoredLength)) {
        return true;
    }
    return len >= static_cast<std::uint32_t>(kFixedSize) &&
           len <= static_cast<std::uint32_t>(kMaxLength) && (len - kFixedSize) % kPointSize == 0;
}

QByteArray FeaturePacket::encode(const FeatureData& data) {
    const int pointBytes = static_cast<int>(data.points.size()) * kPointSize;
    const int len = kFixedSize + pointBytes;
    QByteArray out(len, '\0');
    char* p = out.data();
    p[0] = kHead0;
    p[1] = kHead1;
    p[kViewOffset] = static_cast<char>(data.view);
    p[kView1Offset] = static_cast<char>(data.view1);
    LittleEndian::writeU32(p + kIndexOffset, data.index);
    LittleEndian::writeU32(p + kLenOffset, static_cast<std::uint32_t>(len));
    char* point = p + kPointsOffset;
    for (const cv::Point2f& pt : data.points) {
        LittleEndian::writeF32(point, pt.x);
        LittleEndian::writeF32(point + 4, pt.y);
        point += kPointSize;
    }
    char* trailer = p + pointBytes;
    for (int i = 0; i < 3; ++i) {
        LittleEndian::writeU64(trailer + kSizeOffset + 8 * i, data.size[i]);
    }
    for (int i = 0; i < 9; ++i) {
        LittleEndian::writeF64(trailer + kMatOffset + 8 * i, data.mat[i]);
    }
    p[len - 2] = kTail0;
    p[len - 1] = kTail1;
    return out;
}

QByteArray FeaturePacket::encodeIgnored() {
    QByteArray out(kIgnoredLength, '\0');
    out[0] = kHead0;
    out[1] = kHead1;
    LittleEndian::writeU32(out.data() + kLenOffset, kIgnoredLength);
    out[kIgnoredLength - 2] = kTail0;
    out[kIgnoredLength - 1] = kTail1;
    return out;
}

std::unique_ptr<FeatureData> FeaturePacket::parse(const QByteArray& packet) {
    if (packet.size() < kHeaderSize) {
        qDebug() << "feature packet too short:" << packet.size() << "bytes";
        return nullptr;
    }
    const char* p = packet.constData();
    const std::uint32_t len = LittleEndian::readU32(p + kLenOffset);
    if (len != static_cast<std::uint32_t>(packet.size()) || !isFramableLength(len) ||
        len == static_cast<std::uint32_t>(kIgnoredLength)) {
        qDebug() << "feature packet with length field" << len << "in" << packet.size()
                 << "bytes dropped";
        return nullptr;
    }

    auto data = std::make_unique<FeatureData>();
    data->head = LittleEndian::readU16(p);
    data->view = static_cast<std::uint8_t>(p[kViewOffset]);
    data->view1 = static_cast<std::uint8_t>(p[kView1Offset]);
    data->index = LittleEndian::readU32(p + kIndexOffset);
    data->len = len;

    const int pointBytes = static_cast<int>(len) - kFixedSize;
    data->points.reserve(static_cast<size_t>(pointBytes / kPointSize));
    for (int offset = 0; offset < pointBytes; offset += kPointSize) {
        const char* point = p + kPointsOffset + offset;
        data->points.emplace_back(LittleEndian::readF32(point), LittleEndian::readF32(point + 4));
    }
    const char* trailer = p + pointBytes;
    for (int i = 0; i < 3; ++i) {
        data->size[i] = LittleEndian::readU64(trailer + kSizeOffset + 8 * i);
    }
    for (int i = 0; i < 9; ++i) {
        data->mat[i] = LittleEndian::readF64(trailer + kMatOffset + 8 * i);
    }

    logDebugBlock(*data, packet);

    const QString rejection = FeatureRecordCheck::rejection(*data);
    if (!rejection.isEmpty()) {
        qDebug().noquote() << QStringLiteral("feature packet rejected: ") + rejection;
        return nullptr;
    }
    return data;
}
