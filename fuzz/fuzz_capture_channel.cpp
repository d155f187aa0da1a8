// Reassembly and parsing of the capture control channel, fed arbitrary bytes
// cut into arbitrary reads, with the session's camera flags taken from the
// input. Checks packet framing, the held-back bound and that the events of a
// packet never contradict each other.

#include "fuzz/SplitReads.h"

#include "device/wire/CapturePacketParser.h"
#include "device/wire/CaptureStreamAssembler.h"
#include "device/wire/StatusPacket.h"

#include <QtGlobal>

#include <cstdlib>

namespace {

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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const SplitReads input = SplitReads::decode(data, size);
    const bool isDownView = input.flags & 1;
    const bool isRightView = input.flags & 2;
    CaptureStreamAssembler assembler;
    CapturePacketParser parser;
    const auto onPacket = [&](QByteArray& packet) {
        check(packet.size() == IMAGE::ImageData::kWireSize);
        check(packet.at(0) == 0x01 && packet.at(1) == 0x02);
        checkEvents(parser.packetParser(packet, isDownView, isRightView), parser.farNearCount());
    };
    for (const QByteArray& read : input.reads) {
        assembler.receive(read, onPacket);
        const QByteArray& cache = assembler.cache();
        check(cache.size() < IMAGE::ImageData::kWireSize);
        check(cache.isEmpty() || (cache.size() >= 2 && cache.at(0) == 0x01 && cache.at(1) == 0x02));
    }
    return 0;
}
