#include "device/wire/DataStreamAssembler.h"

#include "device/wire/FeaturePacket.h"
#include "device/wire/LittleEndian.h"

#include <QDebug>

void DataStreamAssembler::receive(const QByteArray& chunk, const PacketHandler& onPacket) {
    if (chunk == QByteArrayLiteral("end")) {
        qDebug() << "end";
        return;
    }
    dowork(chunk, onPacket);
}

void DataStreamAssembler::dowork(const QByteArray& data, const PacketHandler& onPacket) {
    QByteArray buffer;
    if (FeaturePacket::startsWithHead(data.constData(), data.size())) {
        buffer = data;
    } else if (!m_cache.isEmpty()) {
        // A continuation of the held-back packet; the cache begins with the head.
        buffer = m_cache + data;
    } else {
        if (!data.isEmpty()) {
            qDebug() << "data channel: dropped" << data.size() << "bytes without a packet head";
        }
        return;
    }

    int offset = 0;
    while (offset < buffer.size()) {
        const char* start = buffer.constData() + offset;
        const int remaining = buffer.size() - offset;
        if (!FeaturePacket::startsWithHead(start, remaining)) {
            // Only trailing bytes after a complete packet get here, never a
            // continuation: the cache was cleared when that packet was cut.
            qDebug() << "data channel: dropped" << remaining << "bytes after a packet";
            break;
        }
        if (remaining < FeaturePacket::kHeaderSize) {
            m_cache.clear();
            qDebug() << "data channel: dropped a" << remaining << "byte packet start";
            break;
        }
        const std::uint32_t len = LittleEndian::readU32(start + 8);
        if (!FeaturePacket::isFramableLength(len)) {
            m_cache.clear();
            qDebug() << "data channel: bad length field" << len << "- dropped" << remaining
                     << "bytes";
            break;
        }
        const int packetSize = static_cast<int>(len);
        if (remaining < packetSize) {
            m_cache = buffer.mid(offset);
            break;
        }
        m_cache.clear();
        QByteArray packet = buffer.mid(offset, packetSize);
        offset += packetSize;
        if (packetSize != FeaturePacket::kIgnoredLength && FeaturePacket::endsWithTail(packet)) {
            onPacket(packet);
        }
    }
}
