#include "device/wire/CaptureStreamAssembler.h"

#include "device/wire/StatusPacket.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QMutex>
#include <QMutexLocker>

namespace {

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

PacketScanner::Frame frameStatusPacket(const char* head, int available) {
    using Kind = PacketScanner::Frame::Kind;
    constexpr int kSize = IMAGE::ImageData::kWireSize;
    if (available < kSize) {
        return {Kind::NeedMore, 0, nullptr};
    }
    if (head[68] != 0x03 || head[69] != 0x04 || head[70] != 0x00) {
        return {Kind::NotAPacket, 0, "no tail 03 04 00 at bytes 68-70"};
    }
    return {Kind::Packet, kSize, nullptr};
}

void logSkipped(const PacketScanner::SkippedRun& run) {
    qDebug().noquote() << PacketScanner::describe("capture channel", run);
}

}  // namespace

CaptureStreamAssembler::CaptureStreamAssembler() : m_scanner(frameStatusPacket, logSkipped) {}

void CaptureStreamAssembler::receive(const QByteArray& chunk, const PacketHandler& onPacket) {
    qDebug() << restartArrivalClock() << "***************";
    dowork(chunk, onPacket);
}

void CaptureStreamAssembler::dowork(const QByteArray& data, const PacketHandler& onPacket) {
    m_scanner.feed(data, onPacket);
}
