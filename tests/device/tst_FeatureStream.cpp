// Feature packets of the data channel: byte layout, parsing with its acceptance
// rule, and the reassembly of the incoming stream with its loss rules.

#include "tests/support/TestMain.h"

#include "device/wire/DataStreamAssembler.h"
#include "device/wire/FeaturePacket.h"
#include "device/wire/FeatureRecordCheck.h"

#include <QtTest>

namespace {

// view 4, view1 2, index 7, one point (1.5, -2), size {3, 0x0102030405060708, 5},
// mat {1, 0, -0.5, 0, 0, 0, 0, 0, 2}: 122 bytes, written out by hand.
const QByteArray kGoldenPacket = QByteArray::fromHex(
    "0102"              // head
    "0402"              // view, view1
    "07000000"          // index
    "7a000000"          // len 122
    "0000c03f000000c0"  // (1.5f, -2.0f)
    "0300000000000000"
    "0807060504030201"
    "0500000000000000"
    "000000000000f03f"
    "0000000000000000"
    "000000000000e0bf"
    "0000000000000000"
    "0000000000000000"
    "0000000000000000"
    "0000000000000000"
    "0000000000000000"
    "0000000000000040"
    "00000000"  // unread
    "0304");    // tail

FeatureData record(std::uint8_t view, std::uint8_t view1, std::uint32_t index, int points) {
    FeatureData d;
    d.view = view;
    d.view1 = view1;
    d.index = index;
    for (int i = 0; i < points; ++i) {
        d.points.emplace_back(10.25f + i, 20.5f + i);
    }
    d.size = {0, 1, 2};
    d.mat = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    return d;
}

QByteArray withLength(QByteArray packet, std::uint32_t len) {
    for (int i = 0; i < 4; ++i) {
        packet[8 + i] = static_cast<char>((len >> (8 * i)) & 0xff);
    }
    return packet;
}

// Feeds reads into one assembler and collects the parsed records.
struct Channel {
    DataStreamAssembler assembler;
    std::vector<std::unique_ptr<FeatureData>> records;
    int framed = 0;

    void read(const QByteArray& chunk) {
        assembler.receive(chunk, [this](QByteArray& packet) {
            ++framed;
            if (auto d = FeaturePacket::parse(packet)) {
                records.push_back(std::move(d));
            }
        });
    }
    std::vector<std::uint32_t> indexes() const {
        std::vector<std::uint32_t> out;
        for (const auto& r : records) {
            out.push_back(r->index);
        }
        return out;
    }
};

using Indexes = std::vector<std::uint32_t>;

}  // namespace

class TestFeatureStream : public QObject {
    Q_OBJECT

private slots:
    void encodeMatchesGoldenBytes() {
        FeatureData d;
        d.view = 4;
        d.view1 = 2;
        d.index = 7;
        d.points = {{1.5f, -2.0f}};
        d.size = {3, 0x0102030405060708ull, 5};
        d.mat = {1, 0, -0.5, 0, 0, 0, 0, 0, 2};
        QCOMPARE(FeaturePacket::encode(d).toHex(), kGoldenPacket.toHex());
        QCOMPARE(FeaturePacket::encodeIgnored().toHex(),
                 QByteArray("010200000000000012000000000000000304"));
    }

    void parseReadsEveryFieldAndLogsTheDebugBlock() {
        QTest::ignoreMessage(QtDebugMsg, "head = 1 2");
        QTest::ignoreMessage(QtDebugMsg, "len = 122");
        QTest::ignoreMessage(QtDebugMsg, "view = 4");
        QTest::ignoreMessage(QtDebugMsg, "view1 = 2");
        QTest::ignoreMessage(QtDebugMsg, "index = 7");
        QTest::ignoreMessage(QtDebugMsg, "size = 1 3 72623859790382856 5");
        QTest::ignoreMessage(QtDebugMsg, "mat = 1 0 -0.5 0 0 0 0 0 2");
        QTest::ignoreMessage(QtDebugMsg, QByteArray(63, '-').constData());
        const auto d = FeaturePacket::parse(kGoldenPacket);
        QVERIFY(d);
        QCOMPARE(d->head, std::uint16_t(0x0201));
        QCOMPARE(d->len, 122u);
        // Every other field: encoding is checked against the same bytes above.
        QCOMPARE(FeaturePacket::encode(*d).toHex(), kGoldenPacket.toHex());
    }

    void acceptance_data() {
        QTest::addColumn<int>("view");
        QTest::addColumn<int>("view1");
        QTest::addColumn<int>("points");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("forward left") << 4 << 1 << 3 << true;
        QTest::newRow("downward right") << 5 << 2 << 1 << true;
        QTest::newRow("pair 6") << 6 << 1 << 3 << false;
        QTest::newRow("pair 3") << 3 << 1 << 3 << false;
        QTest::newRow("camera 0") << 4 << 0 << 3 << false;
        QTest::newRow("camera 3") << 5 << 3 << 3 << false;
        QTest::newRow("no points") << 4 << 1 << 0 << false;
        QTest::newRow("most points") << 4 << 1 << FeaturePacket::kMaxPoints << true;
    }
    void acceptance() {
        QFETCH(int, view);
        QFETCH(int, view1);
        QFETCH(int, points);
        QFETCH(bool, accepted);
        const QByteArray packet = FeaturePacket::encode(
            record(static_cast<std::uint8_t>(view), static_cast<std::uint8_t>(view1), 3, points));
        const auto d = FeaturePacket::parse(packet);
        QCOMPARE(bool(d), accepted);
        if (d) {
            QCOMPARE(d->points.size(), size_t(points));
            QCOMPARE(d->points.back().x, 10.25f + points - 1);
        }
    }

    // Values no calibration run can hold are refused with the reason in the
    // log: an image index past the pair's 26 (it would land in the other
    // pair's slots, and forward 51 would start the calculation), or many
    // centres at one place (they make the ordering's work explode).
    void rangeChecks_data() {
        QTest::addColumn<int>("view");
        QTest::addColumn<qint64>("index");
        QTest::addColumn<int>("repeated");
        QTest::addColumn<QString>("rejection");  // empty: accepted
        QTest::newRow("last image") << 5 << qint64(25) << 0 << QString();
        QTest::newRow("downward 26")
            << 5 << qint64(26) << 0 << QStringLiteral("image index 26 outside 0..25");
        QTest::newRow("forward 51")
            << 4 << qint64(51) << 0 << QStringLiteral("image index 51 outside 0..25");
        QTest::newRow("largest index") << 4 << qint64(0xffffffffu) << 0
                                       << QStringLiteral("image index 4294967295 outside 0..25");
        QTest::newRow("a circle reported twice") << 4 << qint64(3) << 1 << QString();
        QTest::newRow("a few repeats")
            << 4 << qint64(3) << FeatureRecordCheck::kMaxRepeatedCentres << QString();
        QTest::newRow("many repeats")
            << 4 << qint64(3) << FeatureRecordCheck::kMaxRepeatedCentres + 1
            << QStringLiteral("9 of 60 centres repeat the place of another");
        QTest::newRow("all at one place") << 5 << qint64(0) << 59
                                          << QStringLiteral(
                                                 "59 of 60 centres repeat the place "
                                                 "of another");
    }
    void rangeChecks() {
        QFETCH(int, view);
        QFETCH(qint64, index);
        QFETCH(int, repeated);
        QFETCH(QString, rejection);
        FeatureData d =
            record(static_cast<std::uint8_t>(view), 2, static_cast<std::uint32_t>(index), 60);
        // Repeats scattered through the list, each within a fraction of a
        // pixel of the first centre.
        for (int k = 0; k < repeated; ++k) {
            d.points[static_cast<size_t>(59 - k)] =
                d.points[0] + cv::Point2f(0.1f * (k % 4), -0.1f * (k % 3));
        }
        if (!rejection.isEmpty()) {
            QTest::ignoreMessage(QtDebugMsg, qPrintable("feature packet rejected: " + rejection));
        }
        const auto parsed = FeaturePacket::parse(FeaturePacket::encode(d));
        QCOMPARE(bool(parsed), rejection.isEmpty());
        QCOMPARE(FeatureRecordCheck::rejection(d), rejection);
    }

    void parseRefusesBytesThatAreNotOneFramedPacket() {
        QVERIFY(!FeaturePacket::parse(QByteArray()));
        QVERIFY(!FeaturePacket::parse(kGoldenPacket.left(11)));
        QVERIFY(!FeaturePacket::parse(kGoldenPacket.left(121)));  // length says 122
        QVERIFY(!FeaturePacket::parse(kGoldenPacket + QByteArray(8, '\0')));
        QVERIFY(!FeaturePacket::parse(FeaturePacket::encodeIgnored()));
    }

    void twoPacketsInOneReadAreParsedInOrder() {
        Channel c;
        c.read(FeaturePacket::encode(record(4, 1, 1, 5)) +
               FeaturePacket::encode(record(4, 2, 2, 7)));
        QCOMPARE(c.indexes(), (Indexes{1, 2}));
        QVERIFY(c.assembler.cache().isEmpty());
    }

    void packetOverThreeReadsIsParsedWhenItsLastByteArrives() {
        const QByteArray p = FeaturePacket::encode(record(5, 1, 9, 20));
        Channel c;
        c.read(p.left(12));
        c.read(p.mid(12, 50));
        QCOMPARE(c.framed, 0);
        QCOMPARE(c.assembler.cache(), p.left(62));
        c.read(p.mid(62));
        QCOMPARE(c.indexes(), (Indexes{9}));
        QVERIFY(c.assembler.cache().isEmpty());
    }

    // Two packets split once at every position: which of them survive follows
    // from the rule that only a read beginning with the head, long enough to
    // hold the length field, starts a packet.
    void everySplitPointOfTwoPackets() {
        const QByteArray a = FeaturePacket::encode(record(4, 1, 1, 1));
        const QByteArray b = FeaturePacket::encode(record(4, 2, 2, 2));
        const QByteArray both = a + b;
        // The expectations assume no other 0x01 0x02 pair in the bytes.
        QCOMPARE(both.count(QByteArray("\x01\x02", 2)), 2);
        const int n = a.size();
        for (int k = 1; k < both.size(); ++k) {
            Channel c;
            c.read(both.left(k));
            c.read(both.mid(k));
            Indexes expected;
            if (k < 12) {
                expected = {};  // the first piece is too short, the second has no head
            } else if (k <= n) {
                expected = {1, 2};
            } else if (k < n + 12) {
                expected = {1};  // packet b starts with a piece too short
            } else {
                expected = {1, 2};
            }
            QVERIFY2(c.indexes() == expected, qPrintable(QString("split at %1").arg(k)));
            QVERIFY(c.assembler.cache().isEmpty());
        }
    }

    void shortFirstPieceLosesReadsUntilOneBeginsWithTheHead() {
        const QByteArray p = FeaturePacket::encode(record(4, 1, 1, 4));
        const QByteArray q = FeaturePacket::encode(record(4, 1, 2, 4));
        Channel c;
        c.read(q.left(40));
        c.read(p.left(11));  // a new packet starts, too short to be framed
        c.read(q.mid(40));   // so q's rest has nothing to continue any more
        c.read(p.mid(11));   // and neither has p's
        QCOMPARE(c.framed, 0);
        QVERIFY(c.assembler.cache().isEmpty());
        c.read(q);
        QCOMPARE(c.indexes(), (Indexes{2}));
    }

    void readBeginningWithTheHeadDiscardsTheHeldBackPart() {
        const QByteArray a = FeaturePacket::encode(record(4, 1, 1, 4));
        const QByteArray b = FeaturePacket::encode(record(4, 1, 2, 4));
        Channel c;
        c.read(a.left(50));
        c.read(b);
        c.read(a.mid(50));  // the rest of a no longer has anything to continue
        QCOMPARE(c.indexes(), (Indexes{2}));
        QVERIFY(c.assembler.cache().isEmpty());
    }

    void badTailIsDroppedAndTheNextPacketStillParsed() {
        QByteArray bad = FeaturePacket::encode(record(4, 1, 1, 3));
        bad[bad.size() - 1] = 0x05;
        Channel c;
        c.read(bad + FeaturePacket::encode(record(4, 1, 2, 3)));
        QCOMPARE(c.framed, 1);
        QCOMPARE(c.indexes(), (Indexes{2}));
    }

    void lengthEighteenIsConsumedAndIgnored() {
        Channel c;
        c.read(FeaturePacket::encodeIgnored() + FeaturePacket::encode(record(5, 2, 4, 3)));
        QCOMPARE(c.framed, 1);
        QCOMPARE(c.indexes(), (Indexes{4}));
    }

    void unframableLengthDropsTheReadAndResynchronises_data() {
        QTest::addColumn<quint32>("len");
        QTest::newRow("0") << 0u;
        QTest::newRow("11") << 11u;
        QTest::newRow("12") << 12u;
        QTest::newRow("17") << 17u;
        QTest::newRow("19") << 19u;
        QTest::newRow("113") << 113u;
        QTest::newRow("not whole points") << 125u;
        QTest::newRow("one point over the bound")
            << quint32(FeaturePacket::kMaxLength + FeaturePacket::kPointSize);
        QTest::newRow("2^31") << 0x80000000u;
        QTest::newRow("2^32-1") << 0xffffffffu;
    }
    void unframableLengthDropsTheReadAndResynchronises() {
        QFETCH(quint32, len);
        const QByteArray good = FeaturePacket::encode(record(4, 1, 8, 3));
        Channel c;
        c.read(good.left(30));  // something held back, to see that it is dropped too
        c.read(withLength(FeaturePacket::encode(record(4, 1, 1, 3)), len) + good);
        QCOMPARE(c.framed, 0);
        QVERIFY(c.assembler.cache().isEmpty());
        c.read(QByteArray(20, '\x07'));  // nothing is held back to continue
        QCOMPARE(c.framed, 0);
        c.read(good);
        QCOMPARE(c.indexes(), (Indexes{8}));
    }

    void endAloneIsOnlyLogged() {
        const QByteArray p = FeaturePacket::encode(record(4, 1, 1, 3));
        Channel c;
        c.read(p.left(40));
        QTest::ignoreMessage(QtDebugMsg, "end");
        c.read("end");
        QCOMPARE(c.assembler.cache(), p.left(40));  // "end" did not continue the packet
        c.read(p.mid(40));
        QCOMPARE(c.indexes(), (Indexes{1}));

        c.read(QByteArray("end") + p);  // not the lone text: binary without a head
        QCOMPARE(c.indexes(), (Indexes{1}));
    }
};

NIMBRA_CORE_TEST_MAIN(TestFeatureStream)
#include "tst_FeatureStream.moc"
