#pragma once

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>
#include <vector>

// Input layout of the differential stream fuzzers: one input chooses the
// pieces a stream is made of (packets, garbage, broken packets) and how the
// socket cuts the stream into reads.
//
//   byte 0     n = byte % 8: number of read lengths
//   2n bytes   read lengths, little-endian u16 each, used as 1 + value % 4096
//              in turn (n = 0: the whole stream in one read)
//   the rest   pieces until the input ends: a tag byte, then what the target
//              reads for a piece of that tag (FuzzBytes below)
//
// The oracle is whole-piece delivery: each piece as one read, the way a
// loopback link hands over each write. Any other cut must give the same
// packets in the same order.
class FuzzBytes {
public:
    FuzzBytes(const std::uint8_t* data, std::size_t size) : m_data(data), m_left(size) {}

    bool atEnd() const { return m_left == 0; }

    // The next byte; 0 past the end.
    std::uint8_t byte() {
        if (m_left == 0) {
            return 0;
        }
        --m_left;
        return *m_data++;
    }

    // Up to n next bytes (fewer at the end).
    QByteArray bytes(std::size_t n) {
        const std::size_t take = n < m_left ? n : m_left;
        QByteArray out(reinterpret_cast<const char*>(m_data), static_cast<int>(take));
        m_data += take;
        m_left -= take;
        return out;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_left;
};

struct StreamPieces {
    enum class Kind {
        Packet,   // a packet the channel must deliver
        Quiet,    // a well-framed packet the channel consumes without delivering
        Garbage,  // anything else
    };
    struct Piece {
        Kind kind;
        QByteArray bytes;
    };

    static constexpr int kMaxLengths = 7;
    static constexpr int kMaxRead = 4096;

    std::vector<int> readLengths;
    QList<Piece> pieces;

    // Reads the byte count and the read lengths; the caller then reads the
    // pieces from `in`.
    static StreamPieces begin(FuzzBytes& in) {
        StreamPieces out;
        const int n = in.byte() % 8;
        for (int i = 0; i < n && !in.atEnd(); ++i) {
            const int low = in.byte();
            const int high = in.byte();
            out.readLengths.push_back(1 + (low | (high << 8)) % kMaxRead);
        }
        return out;
    }

    // Garbage of 1 to 256 bytes from the input; with tag bit 2 without any
    // 0x01 byte, so that none of it can start a head.
    void addGarbage(FuzzBytes& in, std::uint8_t tag) {
        QByteArray junk = in.bytes(1 + in.byte());
        if (tag & 0x4) {
            junk.replace('\x01', '\x00');
        }
        pieces.append({Kind::Garbage, junk});
    }

    QByteArray stream() const {
        QByteArray out;
        for (const Piece& p : pieces) {
            out += p.bytes;
        }
        return out;
    }

    // The stream cut into reads of readLengths in turn.
    QList<QByteArray> reads() const {
        const QByteArray all = stream();
        QList<QByteArray> out;
        std::size_t turn = 0;
        for (int at = 0; at < all.size();) {
            const int want =
                readLengths.empty() ? all.size() - at : readLengths[turn++ % readLengths.size()];
            const int n = want < all.size() - at ? want : all.size() - at;
            out.append(all.mid(at, n));
            at += n;
        }
        return out;
    }

    // The packets a channel must deliver when no garbage can be mistaken for a
    // packet start (no 0x01 byte in any garbage): exactly the Packet pieces.
    bool garbageHasNoHeadByte() const {
        for (const Piece& p : pieces) {
            if (p.kind == Kind::Garbage && p.bytes.contains('\x01')) {
                return false;
            }
        }
        return true;
    }
    QList<QByteArray> packets() const {
        QList<QByteArray> out;
        for (const Piece& p : pieces) {
            if (p.kind == Kind::Packet) {
                out.append(p.bytes);
            }
        }
        return out;
    }

    // The differential check: `deliver` (reads to delivered packets) must give
    // for the input's cut what it gives for whole-piece delivery and, when no
    // garbage byte can start a head, exactly the packets put in. Returns the
    // delivered packets; `check` aborts on false.
    template <class Deliver, class Check>
    QList<QByteArray> differential(const Deliver& deliver, const Check& check) const {
        QList<QByteArray> whole;
        for (const Piece& p : pieces) {
            whole.append(p.bytes);
        }
        const QList<QByteArray> expected = deliver(whole);
        check(deliver(reads()) == expected);
        if (garbageHasNoHeadByte()) {
            check(expected == packets());
        }
        return expected;
    }

    // The input that decodes to these read lengths followed by `tagged`
    // (tags and payloads as the target reads them), for seed corpora.
    static QByteArray encode(const std::vector<int>& lengths, const QByteArray& tagged) {
        QByteArray out;
        out.append(static_cast<char>(lengths.size() % 8));
        for (int length : lengths) {
            const int value = length - 1;
            out.append(static_cast<char>(value & 0xff));
            out.append(static_cast<char>((value >> 8) & 0xff));
        }
        return out + tagged;
    }
};
