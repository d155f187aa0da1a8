// Receiving, reassembly and parsing of the data channel, fed arbitrary bytes
// cut into arbitrary reads. Checks that every framed packet is well-formed, that
// accepted records agree with their packet and lie in range, and that the
// held-back bytes stay bounded.

#include "fuzz/SplitReads.h"

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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const SplitReads input = SplitReads::decode(data, size);
    const bool endBetweenReads = input.flags & 1;
    DataStreamAssembler assembler;
    qint64 framedBytes = 0;
    qint64 readBytes = 0;
    const auto onPacket = [&](QByteArray& packet) {
        framedBytes += packet.size();
        checkPacket(packet);
    };
    for (const QByteArray& read : input.reads) {
        readBytes += read.size();
        assembler.receive(read, onPacket);
        if (endBetweenReads) {
            const QByteArray held = assembler.cache();
            assembler.receive("end", onPacket);
            check(assembler.cache() == held);
        }
        const QByteArray& cache = assembler.cache();
        check(cache.isEmpty() || (cache.size() >= FeaturePacket::kHeaderSize &&
                                  cache.size() < FeaturePacket::kMaxLength &&
                                  FeaturePacket::startsWithHead(cache.constData(), cache.size())));
        check(framedBytes + cache.size() <= readBytes);
    }
    return 0;
}
