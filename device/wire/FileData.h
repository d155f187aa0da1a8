#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>

// One file chunk packet (desktop to device), little-endian:
//
//   0  head 0x01 0x02     2  i32 chunk number (1 for a file's first chunk)
//   6  n data bytes       6+n tail 0x03 0x04
//
// A full chunk (n = 4096) is 4104 bytes; a file's last chunk ends right after
// its data, so it may be shorter.
struct FileData {
    static constexpr int kDataSize = 4096;
    static constexpr int kOverhead = 8;  // head, chunk number, tail
    static constexpr int kWireSize = kDataSize + kOverhead;
    static constexpr std::uint16_t kHead = 0x0201;
    static constexpr std::uint16_t kTail = 0x0403;

    std::uint16_t head = 0;
    std::int32_t number = 0;
    std::array<char, kDataSize> data{};
    std::uint16_t tail = 0;

    // The chunk packet carrying the first n bytes of data (n clamped to
    // 0..kDataSize): n + 8 bytes, the tail right after the data.
    QByteArray toBytes(int n = kDataSize) const;
};
