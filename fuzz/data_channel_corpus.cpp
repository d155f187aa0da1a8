// Seed inputs for fuzz_data_channel: feature packets built by the project's
// own encoder, alone and in runs, cut into reads at the places where the
// reassembly rules change.

#include "fuzz/CorpusFiles.h"
#include "fuzz/SplitReads.h"

#include "device/wire/FeaturePacket.h"

namespace {

QByteArray packet(std::uint8_t view, std::uint8_t view1, std::uint32_t index, int points) {
    FeatureData d;
    d.view = view;
    d.view1 = view1;
    d.index = index;
    for (int i = 0; i < points; ++i) {
        d.points.emplace_back(20.0f * (i % 14) + 3.5f, 20.0f * (i / 14) + 7.25f);
    }
    d.size = {0, static_cast<std::uint64_t>(points / 2), static_cast<std::uint64_t>(points - 1)};
    d.mat = {1.1, 0.02, -3.5, 0.01, 0.98, 4.25, 1e-4, -2e-4, 1};
    return FeaturePacket::encode(d);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIRECTORY\n", argv[0]);
        return 2;
    }
    CorpusFiles corpus(argv[1]);
    const QByteArray board = packet(4, 1, 0, 270);
    const QByteArray small = packet(5, 2, 25, 3);
    const QByteArray empty = packet(4, 2, 1, 0);
    const QByteArray rejected = packet(6, 0, 2, 4);
    QByteArray badTail = packet(4, 1, 3, 2);
    badTail[badTail.size() - 1] = 0;

    corpus.add(SplitReads::encode(0, {}, board));
    corpus.add(SplitReads::encode(0, {}, small + board + small));
    corpus.add(SplitReads::encode(0, {}, FeaturePacket::encodeIgnored() + small));
    corpus.add(SplitReads::encode(0, {}, empty + rejected + badTail + small));
    corpus.add(SplitReads::encode(0, {}, QByteArray("end")));
    corpus.add(SplitReads::encode(1, {100, 7}, small + small + small));
    corpus.add(SplitReads::encode(0, {12}, small + small));
    corpus.add(SplitReads::encode(0, {11}, small + small));
    corpus.add(SplitReads::encode(0, {1}, small));
    corpus.add(SplitReads::encode(0, {small.size() + 5}, small + small));
    corpus.add(SplitReads::encode(0, {500, 1000, 1}, board + small + board));
    corpus.add(SplitReads::encode(0, {3, 4096}, QByteArray("end") + board));
    corpus.add(SplitReads::encode(0, {}, packet(4, 1, 9, FeaturePacket::kMaxPoints)));
    return corpus.exitCode();
}
