// Seed corpus of the run record reader: records written by the project's own
// writer (header, data-channel chunks of several sizes), and the start of a
// run as the data channel records it: feature packets arriving in TCP-sized
// reads that cut through packets.
#include "fuzz/CorpusFiles.h"
#include "device/record/RunRecordWriter.h"

#include "device/wire/FeaturePacket.h"

int main(int argc, char* argv[]) {
    if (argc != 2) {
        return 2;
    }
    CorpusFiles corpus(argv[1]);
    RunRecordFormat::Header header;
    header.radiusPx = 35;
    header.screenWidthMm = 344.2;
    header.screenWidthPx = 1920;
    const QByteArray head = RunRecordWriter::encodeHeader(header);
    corpus.add(head);
    corpus.add(head + RunRecordWriter::encodeRecord(10, 1, "\x01\x02start"));
    corpus.add(head + RunRecordWriter::encodeRecord(10, 1, QByteArray(300, 'a')) +
               RunRecordWriter::encodeRecord(2000, 1, "end") +
               RunRecordWriter::encodeRecord(3000, 1, QByteArray()));

    QByteArray stream;
    for (std::uint32_t index = 0; index < 3; ++index) {
        for (std::uint8_t camera : {1, 2}) {
            FeatureData d;
            d.view = 4;
            d.view1 = camera;
            d.index = index;
            for (int i = 0; i < 250; ++i) {
                d.points.emplace_back(18.5f * (i % 18) + 41.0f, 17.25f * (i / 18) + 30.5f);
            }
            d.size = {20, 131, 133};
            d.mat = {1.58, -0.14, -0.73, 0.17, 1.21, -211.3, 8.5e-4, -3.2e-4, 1};
            stream += FeaturePacket::encode(d);
        }
    }
    QByteArray run = head;
    const int kRead = 1448;  // one TCP segment's payload on loopback-sized MTUs
    for (int at = 0, n = 0; at < stream.size(); at += kRead, ++n) {
        run += RunRecordWriter::encodeRecord(1500000 + 400000 * static_cast<std::uint64_t>(n / 4),
                                             1, stream.mid(at, kRead));
    }
    corpus.add(run);
    return corpus.exitCode();
}
