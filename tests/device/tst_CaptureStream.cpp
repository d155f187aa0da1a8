// Status packets of the capture control channel: byte layout, reassembly, and
// the guidance, image index, camera switch and pair-finished rules.

#include "tests/support/TestMain.h"

#include "device/wire/CapturePacketParser.h"
#include "device/wire/CaptureStreamAssembler.h"
#include "device/wire/StatusPacket.h"

#include <QtTest>

#include <cmath>
#include <limits>

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

struct Stream {
    CaptureStreamAssembler assembler;
    QList<QByteArray> packets;
    void read(const QByteArray& chunk) {
        assembler.dowork(chunk, [this](QByteArray& p) { packets.append(p); });
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

    void reassembly() {
        const QByteArray a = status(0, 1, 3).toBytes();
        const QByteArray b = status(0, 2, 4).toBytes();
        Stream s;
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^\\d+ \\*{15}$"));
        s.assembler.receive(a + b, [&](QByteArray& p) { s.packets.append(p); });
        QCOMPARE(s.packets, (QList<QByteArray>{a, b}));

        Stream t;
        t.read((a + b).left(100));
        QCOMPARE(t.packets, QList<QByteArray>{a});
        QCOMPARE(t.assembler.cache().size(), 29);
        t.read(b.mid(29));
        QCOMPARE(t.packets, (QList<QByteArray>{a, b}));
        QVERIFY(t.assembler.cache().isEmpty());

        Stream v;
        v.read(a.mid(5));  // nothing held back: dropped
        v.read(a.left(40));
        v.read(b);  // a read beginning with the head starts over
        QCOMPARE(v.packets, QList<QByteArray>{b});
    }

    void everySplitPointOfTwoPackets() {
        const QByteArray a = status(0, 1, 3).toBytes();
        const QByteArray b = status(0, 2, 4).toBytes();
        const QByteArray both = a + b;
        QCOMPARE(both.count(QByteArray("\x01\x02", 2)), 2);
        for (int k = 1; k < both.size(); ++k) {
            Stream s;
            s.read(both.left(k));
            s.read(both.mid(k));
            QList<QByteArray> expected;
            if (k == 1) {
                expected = {};  // one byte is no head, and the rest has none either
            } else if (k == 72) {
                expected = {a};  // b's first byte alone is dropped, then b's rest
            } else {
                expected = {a, b};
            }
            QVERIFY2(s.packets == expected, qPrintable(QString("split at %1").arg(k)));
            QVERIFY(s.assembler.cache().isEmpty());
        }
    }

    void farNearCounter() {
        CapturePacketParser parser;
        for (int i = 0; i < 9; ++i) {
            QVERIFY(!parseOne(parser, status(0, 1, 0, 1.2f)).state);
        }
        QTest::ignoreMessage(QtDebugMsg, "发送过远信号");
        QCOMPARE(parseOne(parser, status(0, 1, 0, 1.2f)).state, FlightGuidance::MoveAway);
        QTest::ignoreMessage(QtDebugMsg, "发送过近信号");
        QCOMPARE(parseOne(parser, status(0, 1, 0, 0.5f)).state, FlightGuidance::MoveCloser);
        QCOMPARE(parser.farNearCount(), 11);

        QTest::ignoreMessage(QtDebugMsg, "逆时针");
        QCOMPARE(parseOne(parser, status(0, 1, 0, 1.0f, 4)).state,
                 FlightGuidance::CounterClockwise);
        QCOMPARE(parser.farNearCount(), 0);

        // too far and too near count together
        for (int i = 0; i < 9; ++i) {
            QVERIFY(!parseOne(parser, status(0, 1, 0, i % 2 ? 0.5f : 2.0f)).state);
        }
        QCOMPARE(parseOne(parser, status(0, 1, 0, 0.1f)).state, FlightGuidance::MoveCloser);

        QTest::ignoreMessage(QtDebugMsg, "顺时针");
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
        QCOMPARE(double(1.05f) < 1.05, true);
        QCOMPARE(double(0.7f) < 0.7, true);
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
        if (cameraSwitch == CaptureEvents::CameraSwitch::ToForwardRight) {
            QTest::ignoreMessage(QtDebugMsg, "前视左切右");
        } else if (cameraSwitch == CaptureEvents::CameraSwitch::ToDownwardRight) {
            QTest::ignoreMessage(QtDebugMsg, "下视左切右");
        }
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

    void featureCircleTruncatesTowardZero() {
        IMAGE::ImageData d = status(0, 0, 0);
        d.circles[0] = {100.7f, 50.2f, 10.9f};  // 95.25, 44.75
        d.circles[1] = {-3.3f, 0.4f, 2.0f};     // -4.3, -0.6
        d.circles[2] = {std::numeric_limits<float>::quiet_NaN(), 1e30f, -1e30f};
        const CirclePositions c = CapturePacketParser::featureCircle(d, false);
        QCOMPARE(c.c1, QRect(95, 44, 10, 10));
        QCOMPARE(c.c2, QRect(-4, 0, 2, 2));
        QCOMPARE(c.c3.left(), 0);
        QCOMPARE(c.c3.top(), 1 << 24);
        QCOMPARE(c.c3.width(), -(1 << 24));
    }
};

NIMBRA_CORE_TEST_MAIN(TestCaptureStream)
#include "tst_CaptureStream.moc"
