// Differential fuzzing of the data channel's reassembly: the input chooses
// feature packets, garbage, broken packets and where the reads are cut
// (fuzz/StreamPieces.h). However the stream is cut, the assembler must deliver
// the packets of whole-piece delivery, in order, holding back less than one
// packet; when no garbage byte can start a head, those are exactly the packets
// put in. Every delivered packet must be well framed and parse safely, and every
// record accepted from it must lie in range.

#include "fuzz/StreamPieces.h"

#include "device/wire/DataStreamAssembler.h"
#include "device/wire/FeaturePacket.h"
#include "device/wire/FeatureRecordCheck.h"
#include "device/wire/LittleEndian.h"

#include <QtGlobal>

#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

void appendU32(QByteArray& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.append(static_cast<char>((v >> (8 * i)) & 0xff));
    }
}

// A feature packet of `points` points whose bytes come from the input.
QByteArray featurePacket(FuzzBytes& in, int points) {
    QByteArray p("\x01\x02", 2);
    p.append(static_cast<char>(in.byte()));  // view
    p.append(static_cast<char>(in.byte()));  // view1
    appendU32(p, in.byte());                 // index
    appendU32(p, static_cast<std::uint32_t>(FeaturePacket::kFixedSize +
                                            points * FeaturePacket::kPointSize));
    QByteArray area = in.bytes(
        static_cast<std::size_t>(points) * 8 > 512 ? 512 : static_cast<std::size_t>(points) * 8);
    QByteArray pointBytes;
    while (pointBytes.size() < points * 8) {
        pointBytes += area.isEmpty() ? QByteArray(points * 8, '\0') : area;
    }
    p += pointBytes.left(points * 8);
    // The first marks and matrix bytes; zeros after.
    p += in.bytes(16).leftJustified(100, '\0');
    p.append("\x03\x04", 2);
    return p;
}

StreamPieces decode(const std::uint8_t* data, std::size_t size) {
    FuzzBytes in(data, size);
    StreamPieces s = StreamPieces::begin(in);
    using Kind = StreamPieces::Kind;
    while (!in.atEnd()) {
        const std::uint8_t tag = in.byte();
        switch (tag % 4) {
            case 0: {
                const int points = tag & 0x8 ? FeaturePacket::kMaxPoints : in.byte() % 65;
                s.pieces.append({Kind::Packet, featurePacket(in, points)});
                break;
            }
            case 1:
                s.addGarbage(in, tag);
                break;
            case 2:
                switch ((tag >> 2) % 3) {
                    case 0:
                        s.pieces.append({Kind::Garbage, QByteArray("end")});
                        break;
                    case 1: {
                        QByteArray ignored("\x01\x02", 2);
                        ignored += in.bytes(6).leftJustified(6, '\0');
                        appendU32(ignored, FeaturePacket::kIgnoredLength);
                        ignored += in.bytes(4).leftJustified(4, '\0');
                        ignored.append("\x03\x04", 2);
                        s.pieces.append({Kind::Quiet, ignored});
                        break;
                    }
                    default:
                        s.pieces.append({Kind::Garbage,
                                         QByteArray("\x01\x02", 2).repeated(1 + in.byte() % 16)});
                        break;
                }
                break;
            default: {
                QByteArray broken = featurePacket(in, in.byte() % 17);
                const std::uint8_t how = in.byte();
                switch (how % 3) {
                    case 0:
                        broken[broken.size() - 1 - (how >> 7)] =
                            static_cast<char>(in.byte() | 0x10);
                        break;
                    case 1:
                        broken.truncate(1 + in.byte() % (broken.size() - 1));
                        break;
                    default: {
                        QByteArray len = in.bytes(4).leftJustified(4, '\xff');
                        broken.replace(8, 4, len);
                        break;
                    }
                }
                s.pieces.append({Kind::Garbage, broken});
                break;
            }
        }
    }
    return s;
}

void checkPacket(const QByteArray& packet) {
    check(packet.size() >= FeaturePacket::kHeaderSize);
    check(FeaturePacket::startsWithHead(packet.constData(), packet.size()));
    check(FeaturePacket::endsWithTail(packet));
    const std::uint32_t len = LittleEndian::readU32(packet.constData() + 8);
    check(len == static_cast<std::uint32_t>(packet.size()));
    check(FeaturePacket::isFramableLength(len) && len != FeaturePacket::kIgnoredLength);
    const auto record = FeaturePacket::parse(packet);
    if (record) {
        check(record->len == len);
        check(record->points.size() == (len - FeaturePacket::kFixedSize) / 8);
        check(!record->points.empty());
        check(record->view == 4 || record->view == 5);
        check(record->view1 == 1 || record->view1 == 2);
        check(record->index < FeatureRecordCheck::kImagesPerCamera);
        check(FeatureRecordCheck::repeatedCentres(record->points) <=
              FeatureRecordCheck::kMaxRepeatedCentres);
    }
}

QList<QByteArray> deliver(const QList<QByteArray>& reads) {
    DataStreamAssembler assembler;
    QList<QByteArray> packets;
    for (const QByteArray& read : reads) {
        assembler.receive(read, [&](QByteArray& packet) { packets.append(packet); });
        check(assembler.cache().size() < FeaturePacket::kMaxLength);
    }
    return packets;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const StreamPieces input = decode(data, size);
    for (const QByteArray& packet : input.differential(deliver, check)) {
        checkPacket(packet);
    }
    return 0;
}
