// Feature packets of the data channel: byte layout, parsing with its acceptance
// rule, and the reassembly of the incoming stream however a link cuts it.

#include "tests/support/TestMain.h"

#include "device/wire/DataStreamAssembler.h"
#include "device/wire/FeaturePacket.h"
#include "device/wire/FeatureRecordCheck.h"
#include "tests/support/OutputCapture.h"
#include "tests/support/ReadCutRows.h"

#include <QtTest>

#include <cstring>
#include <random>

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

using Indexes = std::vector<std::uint32_t>;

// Feeds reads into one assembler and collects the framed packets.
struct Channel {
    DataStreamAssembler assembler;
    QList<QByteArray> packets;

    void read(const QByteArray& chunk) {
        assembler.receive(chunk, [this](QByteArray& packet) { packets.append(packet); });
    }
    void readAll(const QByteArray& stream, const ReadCuts::NextSize& next) {
        for (const QByteArray& chunk : ReadCuts::cut(stream, next)) {
            read(chunk);
        }
    }
    // The image indexes of the packets that parse into accepted records.
    Indexes indexes() const {
        // Each parse logs its debug block: not what a test looks for.
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        Indexes out;
        for (const QByteArray& packet : packets) {
            if (auto d = FeaturePacket::parse(packet)) {
                out.push_back(d->index);
            }
        }
        qInstallMessageHandler(previous);
        return out;
    }
};

// The data channel of a whole run as the drone writes it, one packet per
// write: both cameras of 26 images of both pairs, each view about 265 circles
// at seeded positions, an ignored 18-byte packet after each pair and "end".
QList<QByteArray> wholeRun() {
    std::mt19937 rng(2024);
    std::uniform_real_distribution<float> x(0.0f, 480.0f), y(0.0f, 640.0f);
    std::uniform_real_distribution<double> h(-2.0, 2.0);
    QList<QByteArray> run;
    for (std::uint8_t view : {4, 5}) {
        for (std::uint32_t index = 0; index < 26; ++index) {
            for (std::uint8_t view1 : {1, 2}) {
                FeatureData d = record(view, view1, index, 0);
                const int n = 260 + static_cast<int>(rng() % 11);
                for (int i = 0; i < n; ++i) {
                    d.points.emplace_back(x(rng), y(rng));
                }
                d.size = {rng() % n, rng() % n, rng() % n};
                for (double& m : d.mat) {
                    m = h(rng);
                }
                run.append(FeaturePacket::encode(d));
            }
        }
        run.append(FeaturePacket::encodeIgnored());
    }
    run.append("end");
    return run;
}

// Bytes that are no packet, of a kind chosen by `kind`: random bytes, text,
// a packet cut short, a packet with a broken tail, a header with a length no
// packet has.
QByteArray garbage(std::mt19937& rng, int kind) {
    const QByteArray packet = FeaturePacket::encode(record(4, 1, 3, 40));
    switch (kind % 5) {
        case 0: {
            QByteArray out(1 + static_cast<int>(rng() % 300), '\0');
            for (char& c : out) {
                c = static_cast<char>(rng());
            }
            return out;
        }
        case 1:
            return QByteArray("ERROR: camera busy\r\n");
        case 2:
            return packet.left(1 + static_cast<int>(rng() % (packet.size() - 1)));
        case 3: {
            QByteArray broken = packet;
            broken[broken.size() - 2] = 0x04;
            return broken;
        }
        default:
            return withLength(packet, 0x7ffffff0u).left(12);
    }
}

}  // namespace

class TestFeatureStream : public QObject {
    Q_OBJECT

private slots:
    void goldenBytes() {
        FeatureData d = record(4, 2, 7, 0);
        d.points = {{1.5f, -2.0f}};
        d.size = {3, 0x0102030405060708ull, 5};
        d.mat = {1, 0, -0.5, 0, 0, 0, 0, 0, 2};
        QCOMPARE(FeaturePacket::encode(d).toHex(), kGoldenPacket.toHex());
        const auto parsed = FeaturePacket::parse(kGoldenPacket);
        QVERIFY(parsed);
        QCOMPARE(parsed->len, 122u);
        QCOMPARE(FeaturePacket::encode(*parsed).toHex(), kGoldenPacket.toHex());
    }

    // Values no calibration run can hold are refused with the reason in the
    // log: an unknown pair or camera, no centres, an image index past the
    // pair's 26 (it would land in the other pair's slots, and forward 51 would
    // start the calculation), or many centres at one place (they make the
    // ordering's work explode).
    void recordChecks_data() {
        QTest::addColumn<int>("view");
        QTest::addColumn<int>("view1");
        QTest::addColumn<qint64>("index");
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("repeated");
        QTest::addColumn<QString>("rejection");  // empty: accepted
        const int most = FeaturePacket::kMaxPoints;
        const int repeats = FeatureRecordCheck::kMaxRepeatedCentres;
        QTest::newRow("forward left") << 4 << 1 << qint64(3) << 3 << 0 << QString();
        QTest::newRow("most points") << 4 << 1 << qint64(3) << most << 0 << QString();
        QTest::newRow("pair 6") << 6 << 1 << qint64(3) << 3 << 0 << "view 6 view1 1 points 3";
        QTest::newRow("camera 3") << 5 << 3 << qint64(3) << 3 << 0 << "view 5 view1 3 points 3";
        QTest::newRow("no points") << 4 << 1 << qint64(3) << 0 << 0 << "view 4 view1 1 points 0";
        QTest::newRow("last image") << 5 << 2 << qint64(25) << 60 << 0 << QString();
        QTest::newRow("downward 26")
            << 5 << 2 << qint64(26) << 60 << 0 << "image index 26 outside 0..25";
        QTest::newRow("forward 51")
            << 4 << 2 << qint64(51) << 60 << 0 << "image index 51 outside 0..25";
        QTest::newRow("largest index")
            << 4 << 2 << qint64(0xffffffffu) << 60 << 0 << "image index 4294967295 outside 0..25";
        QTest::newRow("a few repeats") << 4 << 2 << qint64(3) << 60 << repeats << QString();
        QTest::newRow("many repeats") << 4 << 2 << qint64(3) << 60 << repeats + 1
                                      << "9 of 60 centres repeat the place of another";
    }
    void recordChecks() {
        QFETCH(int, view);
        QFETCH(int, view1);
        QFETCH(qint64, index);
        QFETCH(int, points);
        QFETCH(int, repeated);
        QFETCH(QString, rejection);
        FeatureData d = record(static_cast<std::uint8_t>(view), static_cast<std::uint8_t>(view1),
                               static_cast<std::uint32_t>(index), points);
        // Repeats scattered through the list, each within a fraction of a
        // pixel of the first centre.
        for (int k = 0; k < repeated; ++k) {
            d.points[static_cast<size_t>(points - 1 - k)] =
                d.points[0] + cv::Point2f(0.1f * (k % 4), -0.1f * (k % 3));
        }
        LogCapture log;
        const auto parsed = FeaturePacket::parse(FeaturePacket::encode(d));
        QCOMPARE(FeatureRecordCheck::rejection(d), rejection);
        QCOMPARE(bool(parsed), rejection.isEmpty());
        if (parsed) {
            QVERIFY(parsed->points == d.points);
        } else {
            QVERIFY(log.contains("feature packet rejected: " + rejection));
        }
    }

    // Bytes 0x01 0x02 inside a packet (here a point's x) start nothing: the
    // packet survives a cut at every position, also just before them.
    void headBytesInsideAPacketSurviveEveryCut() {
        FeatureData d = record(4, 2, 5, 3);
        const std::uint32_t bits = 0x43480201;  // about 200.0f, bytes 01 02 48 43
        std::memcpy(&d.points[1].x, &bits, 4);
        const QByteArray both =
            FeaturePacket::encode(d) + FeaturePacket::encode(record(4, 1, 6, 2));
        QVERIFY(both.indexOf(QByteArray("\x01\x02\x48\x43", 4)) > 12);
        for (int k = 1; k < both.size(); ++k) {
            Channel c;
            c.read(both.left(k));
            c.read(both.mid(k));
            QVERIFY2(c.indexes() == (Indexes{5, 6}), qPrintable(QString("cut at %1").arg(k)));
            QVERIFY(c.assembler.cache().isEmpty());
        }
    }

    // A whole run's stream, cut as a real link may cut it, gives exactly the
    // packets of one-read-per-packet delivery, in order; garbage between the
    // packets costs nothing but itself.
    void anyCutGivesThePacketsOfWholePacketDelivery_data() { ReadCuts::addCutRows(); }
    void anyCutGivesThePacketsOfWholePacketDelivery() {
        QFETCH(int, cut);
        const QList<QByteArray> run = wholeRun();
        Channel whole;
        for (const QByteArray& packet : run) {
            whole.read(packet);
        }
        QCOMPARE(whole.packets.size(), 104);
        QCOMPARE(whole.indexes().size(), size_t(104));
        Channel c;
        c.readAll(run.join(), ReadCuts::fixedOrRandom(cut));
        QCOMPARE(c.packets, whole.packets);
        QVERIFY(c.assembler.cache().isEmpty());

        std::mt19937 rng(7);
        QByteArray dirty;
        for (int i = 0; i < run.size(); ++i) {
            if (i % 3 == 1 && i + 1 < run.size()) {  // a packet follows
                dirty += garbage(rng, i);
            }
            dirty += run[i];
        }
        Channel d;
        d.readAll(dirty, ReadCuts::fixedOrRandom(cut));
        QCOMPARE(d.packets, whole.packets);
    }

    // Each kind of broken packet, alone between two good ones.
    void brokenPacketIsSkippedAndTheNextOneTaken_data() {
        QTest::addColumn<QByteArray>("broken");
        const QByteArray p = FeaturePacket::encode(record(4, 1, 1, 3));
        QByteArray badTail = p;
        badTail[badTail.size() - 1] = 0x05;
        QTest::newRow("bad tail") << badTail;
        QTest::newRow("cut short") << p.left(p.size() - 9);
        QTest::newRow("header only") << p.left(12);
        QTest::newRow("head only") << p.left(2);
        for (quint32 len : {0u, 11u, 17u, 19u, 113u, 125u,
                            quint32(FeaturePacket::kMaxLength + FeaturePacket::kPointSize),
                            0x80000000u, 0xffffffffu}) {
            QTest::newRow(qPrintable(QString("length %1").arg(len))) << withLength(p, len);
        }
        QTest::newRow("junk text") << QByteArray("NG\r\n...");
    }
    void brokenPacketIsSkippedAndTheNextOneTaken() {
        QFETCH(QByteArray, broken);
        const QByteArray a = FeaturePacket::encode(record(4, 1, 7, 30));
        const QByteArray b = FeaturePacket::encode(record(5, 2, 8, 30));
        for (int cut : {1, 13, 1 << 20}) {
            Channel c;
            c.readAll(a + broken + b, ReadCuts::fixed(cut));
            QCOMPARE(c.indexes(), (Indexes{7, 8}));
        }
    }

    // A flood of garbage whose heads claim the longest packet holds back no
    // more than one packet's bytes, and a packet after it still arrives.
    void floodOfGarbageKeepsMemoryBounded() {
        const QByteArray falseHead = withLength(FeaturePacket::encode(record(4, 1, 1, 3)),
                                                quint32(FeaturePacket::kMaxLength));
        QByteArray flood;
        while (flood.size() < (2 << 20)) {
            flood += falseHead;
        }
        flood += QByteArray(FeaturePacket::kMaxLength, '\0');
        Channel c;
        int most = 0;
        for (const QByteArray& read :
             ReadCuts::cut(flood + FeaturePacket::encode(record(4, 2, 9, 3)),
                           ReadCuts::seededRandom(5, 65536))) {
            c.read(read);
            most = qMax(most, c.assembler.cache().size());
        }
        QVERIFY2(most < FeaturePacket::kMaxLength, qPrintable(QString::number(most)));
        QCOMPARE(c.indexes(), (Indexes{9}));
    }
};

NIMBRA_CORE_TEST_MAIN(TestFeatureStream)
#include "tst_FeatureStream.moc"
