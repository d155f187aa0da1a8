#include "device/wire/CaptureStreamAssembler.h"

#include "device/wire/StatusPacket.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QMutex>
#include <QMutexLocker>

namespace {

bool startsWithHead(const char* p, int size) {
    return size >= 2 && p[0] == 0x01 && p[1] == 0x02;
}

// Milliseconds since the previous call, process-wide; the first call measures
// from the first use of the clock.
qint64 restartArrivalClock() {
    static QMutex mutex;
    static QElapsedTimer clock;
    QMutexLocker lock(&mutex);
    if (!clock.isValid()) {
        clock.start();
    }
    return clock.restart();
}

}  // namespace

void CaptureStreamAssembler::receive(const QByteArray& chunk, const PacketHandler& onPacket) {
    qDebug() << restartArrivalClock() << "***************";
    dowork(chunk, onPacket);
}

void CaptureStreamAssembler::dowork(const QByteArray& data, const PacketHandler& onPacket) {
    QByteArray buffer;
    if (startsWithHead(data.constData(), data.size())) {
        buffer = data;
    } else if (!m_cache.isEmpty()) {
        buffer = m_cache + data;
    } else {
        if (!data.isEmpty()) {
            qDebug() << "capture channel: dropped" << data.size() << "bytes without a packet head";
        }
        return;
    }

    constexpr int kSize = IMAGE::ImageData::kWireSize;
    int offset = 0;
    while (offset < buffer.size()) {
        const int remaining = buffer.size() - offset;
        if (!startsWithHead(buffer.constData() + offset, remaining)) {
            // Trailing bytes after a complete packet; the cache is empty here.
            qDebug() << "capture channel: dropped" << remaining << "bytes after a packet";
            break;
        }
        if (remaining < kSize) {
            m_cache = buffer.mid(offset);
            break;
        }
        m_cache.clear();
        QByteArray packet = buffer.mid(offset, kSize);
        offset += kSize;
        onPacket(packet);
    }
}
