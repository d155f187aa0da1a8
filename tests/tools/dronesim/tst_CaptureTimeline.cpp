// The capture timeline read by the desktop's own capture-channel parsing: the
// image indexes, the left-to-right switch at 12, the pair's end at 25 and the
// guidance the person flying the drone would see.
#include "CameraViewState.h"
#include "CapturePacketParser.h"
#include "CaptureStreamAssembler.h"
#include "CaptureTimeline.h"
#include "DroneState.h"
#include "StatusPacket.h"
#include "TestMain.h"

#include <QSignalSpy>

#include <random>
#include <set>

namespace {

constexpr double kUnitCm = 1.255;

// The desktop's reading of one pair, with the camera flags the session keeps:
// the left camera of the pair is shown until the parser asks for the switch.
struct DesktopReading {
    QList<int> imageIndexes;
    int switchedAfterImage = -1;
    int switches = 0;
    int forwardFinished = 0;
    int downwardFinished = 0;
    std::set<int> states;
    int circlesOutsideImage = 0;
};

DesktopReading readPair(const QByteArray& stream, bool downward, QSize imageSize) {
    DesktopReading r;
    CaptureStreamAssembler assembler;
    CapturePacketParser parser;
    bool right = false;
    std::mt19937 rng(3);
    auto onPacket = [&](QByteArray& packet) {
        const CaptureEvents e = parser.packetParser(packet, downward, right);
        if (e.state)
            r.states.insert(*e.state);
        if (e.imageIndex)
            r.imageIndexes << *e.imageIndex;
        r.forwardFinished += e.forwardFinished;
        r.downwardFinished += e.downwardFinished;
        if (e.cameraSwitch != CaptureEvents::CameraSwitch::None) {
            ++r.switches;
            r.switchedAfterImage = r.imageIndexes.isEmpty() ? -1 : r.imageIndexes.last();
            right = true;  // the stream reader reports the right camera open
        }
        if (e.circles) {
            const QRect frame(QPoint(0, 0), imageSize);
            for (const QRect& c : {e.circles->c1, e.circles->c2, e.circles->c3})
                r.circlesOutsideImage += !frame.contains(c.center());
        }
    };
    // Every packet split in two reads, as TCP may deliver it.
    for (int at = 0; at < stream.size(); at += IMAGE::ImageData::kWireSize) {
        const int cut = std::uniform_int_distribution<int>(2, 70)(rng);
        assembler.dowork(stream.mid(at, cut), onPacket);
        assembler.dowork(stream.mid(at + cut, IMAGE::ImageData::kWireSize - cut), onPacket);
    }
    return r;
}

}  // namespace

class tst_CaptureTimeline : public QObject {
    Q_OBJECT

private slots:
    void pairReadsAsTheDesktopExpects_data() {
        QTest::addColumn<bool>("downward");
        QTest::newRow("forward") << false;
        QTest::newRow("downward") << true;
    }

    void pairReadsAsTheDesktopExpects() {
        QFETCH(bool, downward);
        const Rig rig = Rig::defaults();
        CameraViewState view;
        DroneState state(view);
        CaptureTimeline timeline(state, rig, kUnitCm, 10);
        const SimPair pair = downward ? SimPair::Downward : SimPair::Forward;
        QByteArray stream;
        connect(&timeline, &CaptureTimeline::statusPacket,
                [&](const QByteArray& p) { stream += p; });
        QSignalSpy taken(&state, &DroneState::imageTaken);
        int finished = 0;
        connect(&timeline, &CaptureTimeline::pairFinished, [&](SimPair p) {
            QCOMPARE(p, pair);
            ++finished;
        });

        timeline.start(pair);
        QCOMPARE(state.phase(), downward ? RunPhase::CaptureDownward : RunPhase::CaptureForward);
        QTRY_COMPARE_WITH_TIMEOUT(finished, 1, 20000);
        QVERIFY(!timeline.isRunning());
        QCOMPARE(state.phase(), downward ? RunPhase::Uploading : RunPhase::CaptureForward);

        // Every image is taken once, at its shot, by the left camera up to 12.
        QCOMPARE(taken.count(), 26);
        for (int i = 0; i < 26; ++i) {
            const auto camera = taken.at(i).at(0).value<SimCamera>();
            QCOMPARE(taken.at(i).at(1).toInt(), i);
            QCOMPARE(pairOf(camera), pair);
            QCOMPARE(isLeft(camera), i <= CaptureTimeline::kLastLeftImage);
        }

        const CameraModel& model =
            rig.camera(downward ? SimCamera::DownwardLeft : SimCamera::ForwardLeft);
        const DesktopReading r = readPair(stream, downward, QSize(model.width, model.height));
        QList<int> all;
        for (int i = 0; i < 26; ++i)
            all << i;
        QCOMPARE(r.imageIndexes, all);
        QCOMPARE(r.switches, 1);
        QCOMPARE(r.switchedAfterImage, 12);
        QCOMPARE(r.forwardFinished, downward ? 0 : 1);
        QCOMPARE(r.downwardFinished, downward ? 1 : 0);
        QCOMPARE(r.circlesOutsideImage, 0);
        // Every kind of guidance shows during a pair.
        for (int s :
             {FlightGuidance::MoveAway, FlightGuidance::MoveCloser, FlightGuidance::Clockwise,
              FlightGuidance::CounterClockwise, FlightGuidance::Normal})
            QVERIFY2(r.states.count(s), qPrintable(QString::number(s)));
    }

    // Each image: approach frames 1..4 (pos 0 or 1), then the shot at frame 5,
    // pos 1, in range and straight, with the image's index.
    void everyImageEndsWithItsShot() {
        const Rig rig = Rig::defaults();
        CameraViewState view;
        DroneState state(view);
        CaptureTimeline timeline(state, rig, kUnitCm, 10);
        for (SimPair pair : {SimPair::Forward, SimPair::Downward}) {
            for (int i = 0; i < 26; ++i) {
                const QVector<QByteArray> packets = timeline.imagePackets(pair, i);
                QVERIFY(packets.size() >= 5);
                int shots = 0;
                for (const QByteArray& bytes : packets) {
                    QCOMPARE(bytes.size(), IMAGE::ImageData::kWireSize);
                    IMAGE::ImageData p;
                    QVERIFY(IMAGE::ImageData::fromBytes(bytes, &p));
                    QCOMPARE(p.index, i);
                    QVERIFY(p.frame >= 1 && p.frame <= 5);
                    QVERIFY(p.pos == 0 || p.pos == 1);
                    shots += p.frame == 5;
                }
                IMAGE::ImageData shot;
                IMAGE::ImageData::fromBytes(packets.last(), &shot);
                QCOMPARE(shots, 1);
                QCOMPARE(shot.frame, 5);
                QCOMPARE(shot.pos, 1);
                QCOMPARE(shot.rotation, 0);
                QVERIFY(shot.ratio >= 0.7f && shot.ratio <= 1.05f);
            }
        }
    }

    void restartBeginsThePairAgain() {
        const Rig rig = Rig::defaults();
        CameraViewState view;
        DroneState state(view);
        CaptureTimeline timeline(state, rig, kUnitCm, 10);
        QSignalSpy taken(&state, &DroneState::imageTaken);
        timeline.start(SimPair::Forward);
        QTRY_VERIFY(taken.count() >= 3);
        timeline.start(SimPair::Forward);
        QCOMPARE(state.imageIndex(), 0);
        taken.clear();
        QTRY_VERIFY(!taken.isEmpty());
        QCOMPARE(taken.at(0).at(1).toInt(), 0);
        timeline.stop();
    }
};

NIMBRA_CORE_TEST_MAIN(tst_CaptureTimeline)
#include "tst_CaptureTimeline.moc"
