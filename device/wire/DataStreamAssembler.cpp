#include "device/wire/DataStreamAssembler.h"

#include "device/wire/FeaturePacket.h"
#include "device/wire/LittleEndian.h"

#include <QDebug>

namespace {

const QByteArray kEnd = QByteArrayLiteral("end");

PacketScanner::Frame frameFeaturePacket(const char* head, int available) {
    using Kind = PacketScanner::Frame::Kind;
    if (available < FeaturePacket::kHeaderSize) {
        return {Kind::NeedMore, 0, nullptr};
    }
    const std::uint32_t len = LittleEndian::readU32(head + 8);
    if (!FeaturePacket::isFramableLength(len)) {
        return {Kind::NotAPacket, 0, "bad length field"};
    }
    const int size = static_cast<int>(len);
    if (available < size) {
        return {Kind::NeedMore, 0, nullptr};
    }
    if (head[size - 2] != 0x03 || head[size - 1] != 0x04) {
        return {Kind::NotAPacket, 0, "no tail where the length ends"};
    }
    return {size == FeaturePacket::kIgnoredLength ? Kind::Ignored : Kind::Packet, size, nullptr};
}

void logSkipped(const PacketScanner::SkippedRun& run) {
    if (run.size == kEnd.size() && run.start == kEnd) {
        qDebug() << "end";
        return;
    }
    qDebug().noquote() << PacketScanner::describe("data channel", run);
}

}  // namespace

DataStreamAssembler::DataStreamAssembler() : m_scanner(frameFeaturePacket, logSkipped) {}

void DataStreamAssembler::receive(const QByteArray& chunk, const PacketHandler& onPacket) {
    dowork(chunk, onPacket);
}

void DataStreamAssembler::dowork(const QByteArray& data, const PacketHandler& onPacket) {
    m_scanner.feed(data, onPacket);
    // "end" usually comes last, with nothing after it to close the run: say so
    // now rather than at the next run's first packet.
    const PacketScanner::SkippedRun& run = m_scanner.pendingRun();
    if (run.size == kEnd.size() && run.start == kEnd) {
        m_scanner.endSkippedRun();
    }
}
