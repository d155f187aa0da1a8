#pragma once

#include <QByteArray>

#include <functional>

// Cuts the data channel's incoming byte stream into feature packets.
//
// Packets are recognised by the head 0x01 0x02 at the start of a read and the
// little-endian u32 length at bytes 8-11; the bytes of an incomplete packet are
// held back (the cache) until the rest arrives. The stream resynchronises only
// at a read that begins with the head: bytes arriving while nothing is held
// back that do not begin with it are dropped, and a read that begins with the
// head always starts a new packet, discarding what was held back.
//
// A length field that cannot frame a feature packet (see
// FeaturePacket::isFramableLength) drops the rest of the read and whatever
// was held back. So the cache never holds more than FeaturePacket::kMaxLength
// bytes and every call ends after one pass over its input.
class DataStreamAssembler {
public:
    // Called once per complete packet that ends with the tail 0x03 0x04 and is
    // not an ignored 18-byte packet; the packet holds exactly len bytes.
    using PacketHandler = std::function<void(QByteArray& packet)>;

    // One read from the socket: the lone text "end" is only logged; anything
    // else goes to dowork.
    void receive(const QByteArray& chunk, const PacketHandler& onPacket);

    // Reassembly of one read; calls onPacket for each packet it completes, in
    // stream order.
    void dowork(const QByteArray& data, const PacketHandler& onPacket);

    // Bytes held back of an incomplete packet; empty or beginning with the head.
    const QByteArray& cache() const { return m_cache; }

private:
    QByteArray m_cache;
};
