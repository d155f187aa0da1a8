#pragma once

#include <QByteArray>

#include <functional>

// Cuts the capture control channel's incoming byte stream into 71-byte status
// packets. There is no length field and no tail check: a packet is the 71
// bytes from a head 0x01 0x02 that begins a read. Fewer bytes are held back
// (the cache, under 71 bytes) until the rest arrives; a read that does not
// begin with the head continues the held-back packet or, when nothing is held
// back, is dropped.
class CaptureStreamAssembler {
public:
    using PacketHandler = std::function<void(QByteArray& packet)>;

    // One read from the socket: logs the milliseconds since the previous read
    // on any capture channel of the process, then runs dowork.
    void receive(const QByteArray& chunk, const PacketHandler& onPacket);

    // Reassembly of one read; calls onPacket with each complete 71-byte
    // packet, in stream order.
    void dowork(const QByteArray& data, const PacketHandler& onPacket);

    // Held-back bytes; empty or beginning with the head, under 71 bytes.
    const QByteArray& cache() const { return m_cache; }

private:
    QByteArray m_cache;
};
