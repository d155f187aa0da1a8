#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// The framing both device channels share: every binary packet the drone sends
// begins with the head 0x01 0x02, and a rule of the channel (a length field, a
// fixed size, a tail) says where it ends. TCP hands the stream over in pieces
// of any size, so the scanner keeps the bytes of an unfinished packet across
// reads and takes a packet once it is whole. Bytes that cannot start a packet
// (no head, a length no packet has, no tail where the packet should end) are
// skipped one at a time while scanning for the next head, so garbage costs only
// itself and never a valid packet after it.
//
// Every decision depends on the stream's bytes alone, never on where the reads
// were cut: a stream gives the same packets in the same order however it is
// cut. Memory is bounded by the channel's largest packet: held() is never
// longer than the longest frame the rule may wait for, less one byte.
class PacketScanner {
public:
    // The channel's verdict on a head at the scan position.
    struct Frame {
        enum class Kind {
            NeedMore,    // too few bytes to decide; the rule must decide by its
                         // largest packet size
            Packet,      // a packet of `length` bytes, delivered
            Ignored,     // a well-framed packet of `length` bytes, consumed silently
            NotAPacket,  // the head starts no packet: skipped, scanning resumes at
                         // the next byte
        };
        Kind kind = Kind::NeedMore;
        int length = 0;
        const char* reason = nullptr;  // NotAPacket: why, for the log
    };
    // Called with the bytes from a head (0x01 0x02) to the end of what is held,
    // `available` >= 2 of them.
    using FrameRule = std::function<Frame(const char* head, int available)>;
    using PacketHandler = std::function<void(QByteArray& packet)>;

    // Bytes skipped between two packets: how many, the first few of them, and
    // why the first was skipped.
    struct SkippedRun {
        qint64 size = 0;
        QByteArray start;  // at most kRunStartBytes
        const char* reason = nullptr;
    };
    static constexpr int kRunStartBytes = 16;
    using SkipHandler = std::function<void(const SkippedRun& run)>;

    // `onSkipped` hears of each run of skipped bytes once, when the packet that
    // follows it is found (or when takeSkippedRun ends it early).
    PacketScanner(FrameRule rule, SkipHandler onSkipped);

    // Adds one read's bytes and delivers every packet they complete, in stream
    // order. onPacket must not feed this scanner.
    void feed(const QByteArray& data, const PacketHandler& onPacket);

    // Bytes kept for the next read: the start of an unfinished packet, or a
    // lone 0x01 that may begin a head.
    const QByteArray& held() const { return m_buffer; }

    // The run of skipped bytes not yet reported (size 0 when none).
    const SkippedRun& pendingRun() const { return m_run; }
    // Reports the pending run now, as if a packet had followed it.
    void endSkippedRun();

    // Forgets held bytes and the pending run, for a new connection.
    void reset();

    // The log line of a resynchronisation on `channel` ("data channel").
    static QString describe(const char* channel, const SkippedRun& run);

private:
    void skip(const char* bytes, int n, const char* reason);

    FrameRule m_rule;
    SkipHandler m_onSkipped;
    QByteArray m_buffer;
    SkippedRun m_run;
};
