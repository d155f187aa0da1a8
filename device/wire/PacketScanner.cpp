#include "device/wire/PacketScanner.h"

#include <cstring>
#include <utility>

namespace {

constexpr char kHead0 = 0x01;
constexpr char kHead1 = 0x02;
const char* const kNoHead = "no packet head";

}  // namespace

PacketScanner::PacketScanner(FrameRule rule, SkipHandler onSkipped)
    : m_rule(std::move(rule)), m_onSkipped(std::move(onSkipped)) {}

void PacketScanner::feed(const QByteArray& data, const PacketHandler& onPacket) {
    if (data.isEmpty()) {
        return;
    }
    m_buffer.append(data);  // shares `data` when nothing was held
    int pos = 0;
    for (;;) {
        const char* base = m_buffer.constData();
        const int size = m_buffer.size();
        if (pos >= size) {
            break;
        }
        const void* found = std::memchr(base + pos, kHead0, static_cast<size_t>(size - pos));
        if (!found) {
            skip(base + pos, size - pos, kNoHead);
            pos = size;
            break;
        }
        const int at = static_cast<int>(static_cast<const char*>(found) - base);
        if (at > pos) {
            skip(base + pos, at - pos, kNoHead);
            pos = at;
        }
        if (size - pos < 2) {
            break;  // a lone 0x01 at the end may still begin a head
        }
        if (base[pos + 1] != kHead1) {
            skip(base + pos, 1, kNoHead);
            ++pos;
            continue;
        }
        const Frame frame = m_rule(base + pos, size - pos);
        if (frame.kind == Frame::Kind::NeedMore) {
            break;
        }
        if (frame.kind == Frame::Kind::NotAPacket || frame.length < 2 ||
            frame.length > size - pos) {
            skip(base + pos, 1, frame.reason ? frame.reason : kNoHead);
            ++pos;
            continue;
        }
        endSkippedRun();
        if (frame.kind == Frame::Kind::Packet) {
            QByteArray packet(base + pos, frame.length);
            onPacket(packet);
        }
        pos += frame.length;
    }
    m_buffer.remove(0, pos);
}

void PacketScanner::skip(const char* bytes, int n, const char* reason) {
    if (m_run.size == 0) {
        m_run.reason = reason;
    }
    m_run.size += n;
    const int room = kRunStartBytes - m_run.start.size();
    if (room > 0) {
        m_run.start.append(bytes, n < room ? n : room);
    }
}

void PacketScanner::endSkippedRun() {
    if (m_run.size == 0) {
        return;
    }
    const SkippedRun run = std::exchange(m_run, SkippedRun());
    if (m_onSkipped) {
        m_onSkipped(run);
    }
}

void PacketScanner::reset() {
    m_buffer.clear();
    m_run = SkippedRun();
}

QString PacketScanner::describe(const char* channel, const SkippedRun& run) {
    return QStringLiteral(
               "%1: skipped %2 bytes (%3), resynchronised at the next packet; they "
               "began %4")
        .arg(QLatin1String(channel))
        .arg(run.size)
        .arg(QLatin1String(run.reason ? run.reason : kNoHead))
        .arg(QString::fromLatin1(run.start.toHex(' ')));
}
