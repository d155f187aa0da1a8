#pragma once

#include "device/wire/PacketScanner.h"

#include <QByteArray>

#include <functional>

// Cuts the data channel's incoming byte stream into feature packets, whatever
// the read boundaries.
//
// A packet is the head 0x01 0x02, a little-endian u32 length at bytes 8-11 that
// FeaturePacket::isFramableLength accepts, and the tail 0x03 0x04 as its last
// two bytes. The bytes of an unfinished packet are held back (the cache) until
// the rest arrives. Bytes that are not a packet (no head, a length no packet
// has, no tail where the length ends) are skipped while scanning for the next
// head, with one log line per resynchronisation; a valid packet after them is
// still taken. The text "end" that the drone sends between packets is such a
// run of bytes: it is logged as "end" whether it arrives alone or glued to
// packets in the same read.
//
// The cache never holds more than FeaturePacket::kMaxLength - 1 bytes, so a
// flood of garbage costs no memory, and the packets delivered depend only on
// the stream's bytes, not on how they were cut into reads.
class DataStreamAssembler {
public:
    // Called once per packet that is neither broken nor an ignored 18-byte
    // packet; the packet holds exactly len bytes.
    using PacketHandler = std::function<void(QByteArray& packet)>;

    DataStreamAssembler();

    // One read from the socket.
    void receive(const QByteArray& chunk, const PacketHandler& onPacket);

    // Reassembly of one read; calls onPacket for each packet it completes, in
    // stream order.
    void dowork(const QByteArray& data, const PacketHandler& onPacket);

    // Bytes held back of an unfinished packet (or a lone 0x01 that may begin
    // the next head).
    const QByteArray& cache() const { return m_scanner.held(); }

    // Forgets the held-back bytes: the next read starts a new stream (a new
    // connection).
    void reset() { m_scanner.reset(); }

private:
    PacketScanner m_scanner;
};
