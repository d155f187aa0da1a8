// Seed inputs for fuzz_data_channel: feature packets built by the project's
// own encoder, alone and in runs, with garbage, "end", ignored and broken
// packets between them, cut into reads of the sizes a link gives.

#include "fuzz/CorpusFiles.h"
#include "fuzz/StreamPieces.h"

#include "device/wire/FeaturePacket.h"

namespace {

FeatureData record(std::uint8_t view, std::uint8_t view1, std::uint32_t index, int points) {
    FeatureData d;
    d.view = view;
    d.view1 = view1;
    d.index = index;
    for (int i = 0; i < points; ++i) {
        d.points.emplace_back(20.0f * (i % 14) + 3.5f, 20.0f * (i / 14) + 7.25f);
    }
    d.size = {0, static_cast<std::uint64_t>(points / 2), static_cast<std::uint64_t>(points - 1)};
    d.mat = {1.1, 0.02, -3.5, 0.01, 0.98, 4.25, 1e-4, -2e-4, 1};
    return d;
}

// The tagged piece the fuzz target turns into this packet: up to 64 points,
// or with tag 0x08 1024 points repeating the first 512 point bytes.
QByteArray packetPiece(const FeatureData& d, char tag = 0) {
    const QByteArray bytes = FeaturePacket::encode(d);
    const int points = static_cast<int>(d.points.size());
    QByteArray piece(1, tag);
    if (!(tag & 0x8)) {
        piece.append(static_cast<char>(points));
    }
    piece.append(static_cast<char>(d.view));
    piece.append(static_cast<char>(d.view1));
    piece.append(static_cast<char>(d.index));
    piece += bytes.mid(12, qMin(points * 8, 512));
    return piece + bytes.mid(12 + points * 8, 16);
}

QByteArray garbagePiece(const QByteArray& junk, bool noHeadByte) {
    return QByteArray(1, noHeadByte ? 0x05 : 0x01) + static_cast<char>(junk.size() - 1) + junk;
}

const QByteArray kEnd(1, 0x02);
const QByteArray kIgnored = QByteArray(1, 0x06) + QByteArray(10, '\0');
const QByteArray kFalseHeads = QByteArray(1, 0x0a) + char(5);

// A packet of 5 points with a defect: a broken tail, cut after 30 bytes, or
// a length field of 0x7ffffff0.
QByteArray brokenPiece(int how) {
    const QByteArray packet = packetPiece(record(4, 1, 3, 5), 0x03) + char(how);
    switch (how) {
        case 0:
            return packet + char(0x7f);
        case 1:
            return packet + char(29);
        default:
            return packet + QByteArray::fromHex("f0ffff7f");
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIRECTORY\n", argv[0]);
        return 2;
    }
    CorpusFiles corpus(argv[1]);
    const QByteArray board = packetPiece(record(4, 1, 0, 64));
    const QByteArray small = packetPiece(record(5, 2, 25, 3));
    const QByteArray most = packetPiece(record(4, 1, 9, 64), 0x08);
    const QByteArray junk = garbagePiece("ERROR: busy\r\n", true);
    const QByteArray binary = garbagePiece(QByteArray::fromHex("0102ff00010203040506"), false);

    corpus.add(StreamPieces::encode({}, board));
    corpus.add(StreamPieces::encode({1}, small + small));
    corpus.add(StreamPieces::encode({536}, board + small + board));
    corpus.add(StreamPieces::encode({1448}, board + junk + small + kEnd));
    corpus.add(StreamPieces::encode({4096}, most + kIgnored + board));
    corpus.add(StreamPieces::encode({100, 7, 3000}, small + binary + board + kFalseHeads + small));
    corpus.add(StreamPieces::encode({12}, small + kEnd + small));
    corpus.add(StreamPieces::encode({11, 1}, small + junk + kEnd + small));
    for (int how = 0; how < 3; ++how) {
        corpus.add(StreamPieces::encode({13}, small + brokenPiece(how) + small));
    }
    return corpus.exitCode();
}
