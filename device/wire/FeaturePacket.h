#pragma once

#include "device/wire/FeatureData.h"

#include <QByteArray>

#include <cstdint>
#include <memory>

// Byte layout of the data channel's feature packet (device to desktop), all
// values little-endian:
//
//   0  head 0x01 0x02        2  u8 view        3  u8 view1
//   4  u32 index             8  u32 len (whole packet)
//   12 N x (f32 x, f32 y)    points, P = len - 114 = 8N bytes
//   12+P  3 x u64 size       36+P  9 x f64 mat (row-major)
//   108+P 4 bytes unread     len-2 tail 0x03 0x04
//
// A packet whose length field is 18 is framed like the others but carries
// nothing the desktop uses.
class FeaturePacket {
public:
    static constexpr int kHeaderSize = 12;  // bytes needed to know a packet's length
    static constexpr int kFixedSize = 114;  // every byte of a packet but its points
    static constexpr int kPointSize = 8;
    static constexpr int kIgnoredLength = 18;
    // A full board is 270 circles; the drone may report spurious blobs too, so
    // allow a few boards' worth. A longer length field is taken as corruption:
    // trusting it would make the channel hold back everything that follows.
    static constexpr int kMaxPoints = 1024;
    static constexpr int kMaxLength = kFixedSize + kMaxPoints * kPointSize;

    static bool startsWithHead(const char* bytes, int size);
    static bool endsWithTail(const QByteArray& packet);

    // Whether a length field can frame a packet: the ignored 18-byte packet, or
    // kFixedSize plus a whole number of points up to kMaxPoints.
    static bool isFramableLength(std::uint32_t len);

    // Builds the packet for a record (what the drone sends). The record's head
    // and len are not read: the head is 0x01 0x02 and the length follows from
    // the number of points, which must not exceed kMaxPoints for the desktop
    // to frame the packet. The four unread bytes before the tail are zero.
    static QByteArray encode(const FeatureData& data);

    // An 18-byte packet (head, zeros, length 18, zeros, tail) of the kind the
    // desktop consumes and ignores.
    static QByteArray encodeIgnored();

    // Parses one framed packet, logs its debug block and applies the acceptance
    // rule (FeatureRecordCheck: view 4 or 5, view1 1 or 2, at least one point,
    // image index 0..25, few repeated centres). Returns null, with a log line
    // saying why, for a rejected record or for bytes that are not one framed
    // feature packet (length field not equal to the size, or not framable);
    // never reads outside packet.
    static std::unique_ptr<FeatureData> parse(const QByteArray& packet);
};
