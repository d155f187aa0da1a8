// Differential fuzzing of the capture control channel's reassembly: the input
// chooses status packets, garbage, broken packets and where the reads are cut
// (fuzz/StreamPieces.h). However the stream is cut, the assembler must deliver
// the packets of whole-piece delivery, in order, holding back less than one
// packet; when no garbage byte can start a head, those are exactly the packets
// put in. Each delivered packet is parsed with the session's camera flags
// taken from the input, and its events must never contradict each other.

#include "fuzz/StreamPieces.h"

#include "device/wire/CapturePacketParser.h"
#include "device/wire/CaptureStreamAssembler.h"
#include "device/wire/StatusPacket.h"

#include <QtGlobal>

#include <cstdlib>

namespace {

constexpr int kSize = IMAGE::ImageData::kWireSize;

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

void checkEvents(const CaptureEvents& e, int counter) {
    check(counter >= 0);
    check(!(e.forwardFinished && e.downwardFinished));
    const bool finished = e.forwardFinished || e.downwardFinished;
    const bool switching = e.cameraSwitch != CaptureEvents::CameraSwitch::None;
    check(!(finished && switching));
    if (finished || switching) {
        check(!e.circles);
    }
    if (e.circles) {
        check(e.circles->index > -13 && e.circles->index < 13);
    }
    if (!e.state) {
        check(counter >= 1 && counter <= CapturePacketParser::kSilentOutOfRange);
    } else if (*e.state == FlightGuidance::MoveAway || *e.state == FlightGuidance::MoveCloser) {
        check(counter > CapturePacketParser::kSilentOutOfRange);
    } else {
        check(counter == 0);
    }
}

// A status packet whose fields come from the input.
QByteArray statusPacket(FuzzBytes& in) {
    QByteArray p("\x01\x02", 2);
    p += in.bytes(66).leftJustified(66, '\0');
    p.append("\x03\x04\x00", 3);
    return p;
}

StreamPieces decode(const std::uint8_t* data, std::size_t size, bool* down, bool* right) {
    FuzzBytes in(data, size);
    StreamPieces s = StreamPieces::begin(in);
    const std::uint8_t flags = in.byte();
    *down = flags & 1;
    *right = flags & 2;
    using Kind = StreamPieces::Kind;
    while (!in.atEnd()) {
        const std::uint8_t tag = in.byte();
        switch (tag % 4) {
            case 0:
                s.pieces.append({Kind::Packet, statusPacket(in)});
                break;
            case 1:
                s.addGarbage(in, tag);
                break;
            case 2:
                s.pieces.append(
                    {Kind::Garbage, QByteArray("\x01\x02", 2).repeated(1 + in.byte() % 48)});
                break;
            default: {
                QByteArray broken = statusPacket(in);
                const std::uint8_t how = in.byte();
                if (how & 1) {
                    broken[68 + (how >> 1) % 3] = static_cast<char>(in.byte() | 0x10);
                } else {
                    broken.truncate(1 + (how >> 1) % (kSize - 1));
                }
                s.pieces.append({Kind::Garbage, broken});
                break;
            }
        }
    }
    return s;
}

QList<QByteArray> deliver(const QList<QByteArray>& reads) {
    CaptureStreamAssembler assembler;
    QList<QByteArray> packets;
    for (const QByteArray& read : reads) {
        assembler.dowork(read, [&](QByteArray& packet) { packets.append(packet); });
        check(assembler.cache().size() < kSize);
    }
    return packets;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    bool down = false;
    bool right = false;
    const StreamPieces input = decode(data, size, &down, &right);
    CapturePacketParser parser;
    for (const QByteArray& packet : input.differential(deliver, check)) {
        check(packet.size() == kSize);
        check(packet.at(0) == 0x01 && packet.at(1) == 0x02);
        check(packet.endsWith(QByteArray("\x03\x04\x00", 3)));
        checkEvents(parser.packetParser(packet, down, right), parser.farNearCount());
    }
    return 0;
}
