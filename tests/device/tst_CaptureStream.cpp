// Status packets of the capture control channel: byte layout, reassembly, and
// the guidance, image index, camera switch and pair-finished rules.

#include "tests/support/TestMain.h"

#include "device/wire/CapturePacketParser.h"
#include "device/wire/CaptureStreamAssembler.h"
#include "device/wire/StatusPacket.h"
#include "tests/support/ReadCutRows.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

Q_DECLARE_METATYPE(CaptureEvents::CameraSwitch)

namespace {

// circles (100, 50.5, 10), (0, 0, 0), (-1.5, 2, 3); pos 1, frame 5, index 12;
// unread bytes aa bb cc dd ee ff 11 22; rotation -3; ratio 1.0; written by hand.
const QByteArray kGoldenStatus = QByteArray::fromHex(
    "0102"
    "0000"
    "0000c842"
    "00004a42"
    "00002041"
    "00000000"
    "00000000"
    "00000000"
    "0000c0bf"
    "00000040"
    "00004040"
    "01000000"  // pos
    "05000000"  // frame
    "0c000000"  // index
    "aabbccddeeff1122"
    "fdffffff"  // rotation
    "0000803f"  // ratio
    "030400");

IMAGE::ImageData status(int pos, int frame, int index, float ratio = 1.0f, int rotation = 0) {
    IMAGE::ImageData d;
    d.pos = pos;
    d.frame = frame;
    d.index = index;
    d.ratio = ratio;
    d.rotation = rotation;
    d.circles[0] = {200.7f, 100.2f, 10.9f};
    return d;
}

struct Flags {
    bool down;
    bool right;
};

CaptureEvents parseOne(CapturePacketParser& parser, const IMAGE::ImageData& d,
                       Flags flags = {false, false}) {
    return parser.packetParser(d.toBytes(), flags.down, flags.right);
}

// The capture channel of a whole run: each of 26 images of both pairs
// approached in four frames and shot in the fifth, with guidance values that
// vary from packet to packet.
QList<QByteArray> wholeRun() {
    std::mt19937 rng(31);
    std::uniform_real_distribution<float> pixel(0.0f, 640.0f), ratio(0.6f, 1.1f);
    QList<QByteArray> packets;
    for (int pair = 0; pair < 2; ++pair) {
        for (int index = 0; index < 26; ++index) {
            for (int frame = 1; frame <= 5; ++frame) {
                IMAGE::ImageData d = status(frame == 5 ? 1 : 0, frame, index, ratio(rng),
                                            static_cast<int>(rng() % 5) - 2);
                for (IMAGE::Circle& c : d.circles) {
                    c = {pixel(rng), pixel(rng), 10.0f + pixel(rng) / 64.0f};
                }
                packets.append(d.toBytes());
            }
        }
    }
    return packets;
}

// Bytes that are no status packet: random bytes, text, a packet cut short,
// a packet without its tail.
QByteArray garbage(std::mt19937& rng, int kind) {
    const QByteArray packet = status(0, 3, 7).toBytes();
    switch (kind % 4) {
        case 0: {
            QByteArray out(1 + static_cast<int>(rng() % 100), '\0');
            for (char& c : out) {
                c = static_cast<char>(rng());
            }
            return out;
        }
        case 1:
            return QByteArray("busy");
        case 2:
            return packet.left(1 + static_cast<int>(rng() % 70));
        default: {
            QByteArray broken = packet;
            broken[69] = 0x00;
            return broken;
        }
    }
}

struct Stream {
    CaptureStreamAssembler assembler;
    QList<QByteArray> packets;
    void read(const QByteArray& chunk) {
        assembler.dowork(chunk, [this](QByteArray& p) { packets.append(p); });
    }
    void readAll(const QByteArray& stream, const ReadCuts::NextSize& next) {
        for (const QByteArray& chunk : ReadCuts::cut(stream, next)) {
            read(chunk);
        }
    }
};

}  // namespace

class TestCaptureStream : public QObject {
    Q_OBJECT

private slots:
    void statusPacketMatchesGoldenBytes() {
        IMAGE::ImageData d;
        d.circles[0] = {100.0f, 50.5f, 10.0f};
        d.circles[2] = {-1.5f, 2.0f, 3.0f};
        d.pos = 1;
        d.frame = 5;
        d.index = 12;
        d.reserved2 = {0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff, 0x11, 0x22};
        d.rotation = -3;
        d.ratio = 1.0f;
        QCOMPARE(d.toBytes().toHex(), kGoldenStatus.toHex());

        IMAGE::ImageData back;
        QVERIFY(IMAGE::ImageData::fromBytes(kGoldenStatus, &back));
        QCOMPARE(back.toBytes(), kGoldenStatus);
        QVERIFY(!IMAGE::ImageData::fromBytes(kGoldenStatus.left(70), &back));
    }

    // Bytes 0x01 0x02 inside a packet start nothing: two packets survive a
    // cut at every position.
    void headBytesInsideAPacketSurviveEveryCut() {
        IMAGE::ImageData d = status(0, 1, 3);
        const std::uint32_t bits = 0x43480201;  // about 200.0f, bytes 01 02 48 43
        std::memcpy(&d.circles[1].x, &bits, 4);
        const QByteArray a = d.toBytes();
        const QByteArray b = status(0, 2, 4).toBytes();
        QVERIFY(a.indexOf(QByteArray("\x01\x02\x48\x43", 4)) > 2);
        for (int k = 1; k < a.size() + b.size(); ++k) {
            Stream s;
            s.read((a + b).left(k));
            s.read((a + b).mid(k));
            QVERIFY2(s.packets == (QList<QByteArray>{a, b}),
                     qPrintable(QString("cut at %1").arg(k)));
            QVERIFY(s.assembler.cache().isEmpty());
        }
    }

    // A whole run's status packets, cut as a real link may cut them, give
    // exactly the packets of one-read-per-packet delivery; garbage between
    // the packets costs only itself.
    void anyCutGivesThePacketsOfWholePacketDelivery_data() { ReadCuts::addCutRows(); }
    void anyCutGivesThePacketsOfWholePacketDelivery() {
        QFETCH(int, cut);
        const QList<QByteArray> run = wholeRun();
        Stream c;
        c.readAll(run.join(), ReadCuts::fixedOrRandom(cut));
        QCOMPARE(c.packets, run);
        QVERIFY(c.assembler.cache().isEmpty());

        std::mt19937 rng(9);
        QByteArray dirty;
        for (int i = 0; i < run.size(); ++i) {
            if (i % 4 == 2) {
                dirty += garbage(rng, i / 4);
            }
            dirty += run[i];
        }
        Stream d;
        d.readAll(dirty, ReadCuts::fixedOrRandom(cut));
        QCOMPARE(d.packets, run);
    }

    void floodOfGarbageKeepsMemoryBounded() {
        QByteArray noTail = status(0, 1, 3).toBytes();
        noTail[68] = 0x07;
        QByteArray flood;
        while (flood.size() < (1 << 20)) {
            flood += noTail + "\x01\x02\x01";
        }
        const QByteArray good = status(1, 5, 12).toBytes();
        Stream c;
        int most = 0;
        for (const QByteArray& read :
             ReadCuts::cut(flood + good, ReadCuts::seededRandom(8, 4096))) {
            c.read(read);
            most = qMax(most, c.assembler.cache().size());
        }
        QVERIFY2(most < IMAGE::ImageData::kWireSize, qPrintable(QString::number(most)));
        QCOMPARE(c.packets, QList<QByteArray>{good});
    }

    void farNearCounter() {
        CapturePacketParser parser;
        for (int i = 0; i < 9; ++i) {
            QVERIFY(!parseOne(parser, status(0, 1, 0, 1.2f)).state);
        }
        QCOMPARE(parseOne(parser, status(0, 1, 0, 1.2f)).state, FlightGuidance::MoveAway);
        QCOMPARE(parseOne(parser, status(0, 1, 0, 0.5f)).state, FlightGuidance::MoveCloser);
        QCOMPARE(parser.farNearCount(), 11);

        QCOMPARE(parseOne(parser, status(0, 1, 0, 1.0f, 4)).state,
                 FlightGuidance::CounterClockwise);
        QCOMPARE(parser.farNearCount(), 0);

        // too far and too near count together
        for (int i = 0; i < 9; ++i) {
            QVERIFY(!parseOne(parser, status(0, 1, 0, i % 2 ? 0.5f : 2.0f)).state);
        }
        QCOMPARE(parseOne(parser, status(0, 1, 0, 0.1f)).state, FlightGuidance::MoveCloser);

        QCOMPARE(parseOne(parser, status(0, 1, 0, 0.9f, -1)).state, FlightGuidance::Clockwise);
        QCOMPARE(parseOne(parser, status(0, 1, 0, 0.9f, 0)).state, FlightGuidance::Normal);
    }

    // The single-precision ratio is widened before the comparison: the float
    // nearest 1.05 lies below 1.05 (in range), the one nearest 0.7 below 0.7
    // (too near).
    void ratioBoundaries_data() {
        QTest::addColumn<float>("ratio");
        QTest::addColumn<int>("state");
        const float inf = std::numeric_limits<float>::infinity();
        QTest::newRow("1.05f") << 1.05f << int(FlightGuidance::Normal);
        QTest::newRow("just above 1.05f")
            << std::nextafter(1.05f, inf) << int(FlightGuidance::MoveAway);
        QTest::newRow("0.7f") << 0.7f << int(FlightGuidance::MoveCloser);
        QTest::newRow("just above 0.7f")
            << std::nextafter(0.7f, inf) << int(FlightGuidance::Normal);
        QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN()
                             << int(FlightGuidance::Normal);
    }
    void ratioBoundaries() {
        QFETCH(float, ratio);
        QFETCH(int, state);
        CapturePacketParser parser;
        for (int i = 0; i < 9; ++i) {
            parseOne(parser, status(0, 1, 0, ratio));
        }
        const CaptureEvents last = parseOne(parser, status(0, 1, 0, ratio));
        QVERIFY(last.state);
        QCOMPARE(int(*last.state), state);
    }

    // Every combination of the session's two camera flags at the two
    // decisive images of a pair.
    void switchAndFinish_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("down");
        QTest::addColumn<bool>("right");
        QTest::addColumn<CaptureEvents::CameraSwitch>("cameraSwitch");
        QTest::addColumn<bool>("forwardFinished");
        QTest::addColumn<bool>("downwardFinished");
        using S = CaptureEvents::CameraSwitch;
        QTest::newRow("12 forward left")
            << 12 << false << false << S::ToForwardRight << false << false;
        QTest::newRow("12 forward right") << 12 << false << true << S::None << false << false;
        QTest::newRow("12 downward left")
            << 12 << true << false << S::ToDownwardRight << false << false;
        QTest::newRow("12 downward right") << 12 << true << true << S::None << false << false;
        QTest::newRow("25 forward left") << 25 << false << false << S::None << true << false;
        QTest::newRow("25 forward right") << 25 << false << true << S::None << true << false;
        QTest::newRow("25 downward left") << 25 << true << false << S::None << false << false;
        QTest::newRow("25 downward right") << 25 << true << true << S::None << false << true;
    }
    void switchAndFinish() {
        QFETCH(int, index);
        QFETCH(bool, down);
        QFETCH(bool, right);
        QFETCH(CaptureEvents::CameraSwitch, cameraSwitch);
        QFETCH(bool, forwardFinished);
        QFETCH(bool, downwardFinished);
        CapturePacketParser parser;
        const CaptureEvents e = parseOne(parser, status(1, 5, index), {down, right});
        QCOMPARE(e.imageIndex, std::optional<int>(index));
        QCOMPARE(e.cameraSwitch, cameraSwitch);
        QCOMPARE(e.forwardFinished, forwardFinished);
        QCOMPARE(e.downwardFinished, downwardFinished);
        QVERIFY(!e.circles);
        QCOMPARE(e.state, std::optional<FlightGuidance::FlightState>(FlightGuidance::Normal));
    }

    void ordinaryPacketsReportCircles() {
        CapturePacketParser parser;
        const CaptureEvents at25 = parseOne(parser, status(1, 4, 25), {true, false});
        QVERIFY(!at25.imageIndex);  // frame 4
        QVERIFY(at25.circles);
        QCOMPARE(at25.circles->index, 12);
        QCOMPARE(at25.circles->frame, 4);
        QCOMPARE(at25.circles->pos, 1);
        QCOMPARE(at25.circles->isDownView, true);
        QVERIFY(!at25.forwardFinished && !at25.downwardFinished);

        const CaptureEvents at7 = parseOne(parser, status(2, 5, 7));
        QVERIFY(!at7.imageIndex);  // pos 2
        QCOMPARE(at7.circles->index, 7);
        QCOMPARE(at7.circles->isDownView, false);
    }
};

NIMBRA_CORE_TEST_MAIN(TestCaptureStream)
#include "tst_CaptureStream.moc"
