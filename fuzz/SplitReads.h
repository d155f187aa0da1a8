#pragma once

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

// Input layout shared by the stream fuzzers, so that one input chooses both
// the bytes on the wire and how the socket happens to cut them into reads:
//
//   byte 0      bits 0-2: number n of read lengths; bits 3-7: flags for the target
//   2n bytes    read lengths, little-endian u16 each, used as 1 + value % 8192
//   the rest    the stream, cut into reads of those lengths in turn (n = 0:
//               the whole stream in one read)
struct SplitReads {
    static constexpr int kMaxLengths = 7;
    static constexpr int kMaxRead = 8192;

    unsigned flags = 0;  // 5 bits
    std::vector<QByteArray> reads;

    static SplitReads decode(const std::uint8_t* data, std::size_t size) {
        SplitReads out;
        if (size == 0) {
            return out;
        }
        const std::size_t n = data[0] & 0x7;
        out.flags = data[0] >> 3;
        std::size_t offset = 1;
        std::vector<std::size_t> lengths;
        for (std::size_t i = 0; i < n && offset + 1 < size; ++i, offset += 2) {
            lengths.push_back(1 + (data[offset] | (data[offset + 1] << 8)) % kMaxRead);
        }
        offset = std::min(offset, size);
        std::size_t turn = 0;
        while (offset < size) {
            const std::size_t want =
                lengths.empty() ? size - offset : lengths[turn++ % lengths.size()];
            const std::size_t take = std::min(want, size - offset);
            out.reads.emplace_back(reinterpret_cast<const char*>(data + offset),
                                   static_cast<int>(take));
            offset += take;
        }
        return out;
    }

    // The input that decode turns back into stream cut at the given lengths
    // (each 1..8192, at most kMaxLengths of them).
    static QByteArray encode(unsigned flags, const std::vector<int>& lengths,
                             const QByteArray& stream) {
        QByteArray out;
        out.append(static_cast<char>((flags << 3) | (lengths.size() & 0x7)));
        for (int length : lengths) {
            const int value = length - 1;
            out.append(static_cast<char>(value & 0xff));
            out.append(static_cast<char>(value >> 8));
        }
        return out + stream;
    }
};
