// Cost of cutting the device channels' byte streams into packets: a whole
// run's data channel (104 feature packets, about 230 KB) and capture channel
// (260 status packets) fed in reads of 1 byte to 64 KB, and a flood of garbage
// whose heads claim the longest feature packet (the scanner's worst case: each
// false head waits for 8306 bytes before it is skipped).
#include "device/wire/CaptureStreamAssembler.h"
#include "device/wire/DataStreamAssembler.h"
#include "device/wire/FeaturePacket.h"
#include "device/wire/StatusPacket.h"
#include "tests/support/ReadCuts.h"
#include "tests/support/SyntheticRunRecord.h"
#include "device/record/RunRecordReader.h"

#include <QBuffer>

#include <benchmark/benchmark.h>

namespace {

void silent(QtMsgType, const QMessageLogContext&, const QString&) {}

QByteArray dataStream() {
    const QByteArray record = SyntheticRunRecord::build();
    QBuffer device;
    device.setData(record);
    device.open(QIODevice::ReadOnly);
    RunRecordReader reader(&device);
    reader.readHeader();
    QByteArray stream;
    RunRecordReader::Record r;
    while (reader.next(&r)) {
        stream += r.bytes;
    }
    return stream;
}

QByteArray captureStream() {
    QByteArray stream;
    for (int i = 0; i < 260; ++i) {
        IMAGE::ImageData d;
        d.index = i / 5 % 26;
        d.frame = i % 5 + 1;
        d.ratio = 0.9f;
        d.circles[0] = {100.0f + i, 200.0f, 12.0f};
        stream += d.toBytes();
    }
    return stream;
}

template <class Assembler>
void feed(benchmark::State& state, const QByteArray& stream, int expectedPackets, int readSize) {
    const QList<QByteArray> reads = ReadCuts::cut(stream, ReadCuts::fixed(readSize));
    for (auto _ : state) {
        Assembler assembler;
        int packets = 0;
        for (const QByteArray& read : reads) {
            assembler.dowork(read, [&](QByteArray&) { ++packets; });
        }
        if (packets != expectedPackets) {
            state.SkipWithError("packets lost");
        }
    }
    state.SetBytesProcessed(state.iterations() * stream.size());
}

void BM_DataChannel(benchmark::State& state) {
    static const QByteArray stream = dataStream();
    feed<DataStreamAssembler>(state, stream, 104, static_cast<int>(state.range(0)));
}

void BM_CaptureChannel(benchmark::State& state) {
    static const QByteArray stream = captureStream();
    feed<CaptureStreamAssembler>(state, stream, 260, static_cast<int>(state.range(0)));
}

void BM_DataChannelGarbageFlood(benchmark::State& state) {
    QByteArray falseHead = QByteArray::fromHex("0102040101000000") + QByteArray(4, '\0');
    const quint32 len = FeaturePacket::kMaxLength;
    for (int i = 0; i < 4; ++i) {
        falseHead[8 + i] = static_cast<char>((len >> (8 * i)) & 0xff);
    }
    QByteArray flood;
    while (flood.size() < state.range(0)) {
        flood += falseHead + QByteArray(20, '\x07');
    }
    feed<DataStreamAssembler>(state, flood, 0, 4096);
}

}  // namespace

BENCHMARK(BM_DataChannel)->Arg(1)->Arg(64)->Arg(536)->Arg(1448)->Arg(4096)->Arg(65536);
BENCHMARK(BM_CaptureChannel)->Arg(1)->Arg(64)->Arg(536)->Arg(1448)->Arg(4096);
// Flood size in bytes, in reads of 4096.
BENCHMARK(BM_DataChannelGarbageFlood)->RangeMultiplier(4)->Range(1 << 18, 1 << 22);

int main(int argc, char** argv) {
    qInstallMessageHandler(silent);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
