// Seed inputs for fuzz_capture_channel: status packets built by the project's
// own encoder, in the sequences that drive guidance, the camera switch and the
// end of a pair, cut into reads at the places where reassembly changes.

#include "fuzz/CorpusFiles.h"
#include "fuzz/SplitReads.h"

#include "device/wire/StatusPacket.h"

namespace {

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
    return d.toBytes();
}

QByteArray repeated(const QByteArray& packet, int times) {
    QByteArray out;
    for (int i = 0; i < times; ++i) {
        out += packet;
    }
    return out;
}

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

    for (unsigned flags = 0; flags < 4; ++flags) {
        corpus.add(SplitReads::encode(flags, {}, normal + leftDone + lastOrdinary + pairDone));
    }
    corpus.add(SplitReads::encode(0, {}, repeated(tooClose, 11) + turning + repeated(tooFar, 10)));
    corpus.add(SplitReads::encode(0, {100}, normal + turning + normal));
    corpus.add(SplitReads::encode(0, {30, 41}, normal + normal));
    corpus.add(SplitReads::encode(0, {1}, normal + turning));
    corpus.add(SplitReads::encode(2, {72, 5, 64}, repeated(leftDone, 4)));
    corpus.add(SplitReads::encode(1, {7, 200}, repeated(tooFar, 12) + pairDone));
    return corpus.exitCode();
}
