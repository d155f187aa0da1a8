#pragma once

#include "device/wire/PacketScanner.h"

#include <QByteArray>

#include <functional>

// Cuts the capture control channel's incoming byte stream into 71-byte status
// packets, whatever the read boundaries. The channel has no length field: a
// packet is the 71 bytes from a head 0x01 0x02 that end with the tail
// 0x03 0x04 0x00. Fewer bytes are held back (the cache, under 71 bytes) until the
// rest arrives; bytes that are not a packet are skipped while scanning for the
// next head, with one log line per resynchronisation, and cost only
// themselves.
class CaptureStreamAssembler {
public:
    using PacketHandler = std::function<void(QByteArray& packet)>;

    CaptureStreamAssembler();

    // One read from the socket: logs the milliseconds since the previous read
    // on any capture channel of the process, then runs dowork.
    void receive(const QByteArray& chunk, const PacketHandler& onPacket);

    // Reassembly of one read; calls onPacket with each complete 71-byte
    // packet, in stream order.
    void dowork(const QByteArray& data, const PacketHandler& onPacket);

    // Held-back bytes of an unfinished packet, under 71.
    const QByteArray& cache() const { return m_scanner.held(); }

    // Forgets the held-back bytes, for a new connection.
    void reset() { m_scanner.reset(); }

private:
    PacketScanner m_scanner;
};
