// Seed inputs for fuzz_capture_channel: status packets built by the project's
// own encoder, in the sequences that drive guidance, the camera switch and the
// end of a pair, with garbage and broken packets between them, cut into reads
// of the sizes a link gives.

#include "fuzz/CorpusFiles.h"
#include "fuzz/StreamPieces.h"

#include "device/wire/StatusPacket.h"

namespace {

// The tagged piece the fuzz target turns into this status packet.
QByteArray status(int pos, int frame, int index, float ratio, int rotation) {
    IMAGE::ImageData d;
    d.circles[0] = {120.5f, 300.25f, 18.0f};
    d.circles[1] = {200.0f, 310.0f, 17.5f};
    d.circles[2] = {160.75f, 420.0f, 18.25f};
    d.pos = pos;
    d.frame = frame;
    d.index = index;
    d.ratio = ratio;
    d.rotation = rotation;
    const QByteArray bytes = d.toBytes();
    return QByteArray(1, 0x00) + bytes.mid(2, 66);
}

QByteArray repeated(const QByteArray& piece, int times) {
    QByteArray out;
    for (int i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

const QByteArray kJunk = QByteArray(1, 0x05) + char(3) + "busy";
const QByteArray kFalseHeads = QByteArray(1, 0x02) + char(3);

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIRECTORY\n", argv[0]);
        return 2;
    }
    CorpusFiles corpus(argv[1]);
    const QByteArray normal = status(0, 1, 3, 1.0f, 0);
    const QByteArray turning = status(0, 2, 4, 0.9f, -2);
    const QByteArray tooClose = status(0, 3, 4, 1.2f, 0);
    const QByteArray tooFar = status(0, 3, 4, 0.5f, 1);
    const QByteArray leftDone = status(1, 5, 12, 1.0f, 0);
    const QByteArray pairDone = status(1, 5, 25, 1.0f, 0);
    const QByteArray lastOrdinary = status(1, 4, 25, 1.0f, 3);
    // A packet without its tail, and one cut short after 31 bytes.
    const QByteArray noTail = QByteArray(1, 0x03) + normal.mid(1) + char(1) + char(0);
    const QByteArray cutShort = QByteArray(1, 0x03) + normal.mid(1) + char(60);

    for (char flags = 0; flags < 4; ++flags) {
        corpus.add(StreamPieces::encode(
            {}, QByteArray(1, flags) + normal + leftDone + lastOrdinary + pairDone));
    }
    corpus.add(StreamPieces::encode(
        {}, QByteArray(1, 0) + repeated(tooClose, 11) + turning + repeated(tooFar, 10)));
    corpus.add(StreamPieces::encode({1}, QByteArray(1, 0) + normal + kJunk + turning));
    corpus.add(StreamPieces::encode({30, 41}, QByteArray(1, 0) + normal + noTail + normal));
    corpus.add(StreamPieces::encode(
        {536}, QByteArray(1, 2) + repeated(leftDone, 8) + cutShort + kFalseHeads + pairDone));
    corpus.add(StreamPieces::encode({7, 200, 1448},
                                    QByteArray(1, 1) + repeated(tooFar, 12) + kJunk + pairDone));
    return corpus.exitCode();
}
