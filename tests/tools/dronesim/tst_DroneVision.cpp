// The drone's feature packets as the desktop reads them: framing through its
// own stream assembler and parser, marks and H as its ordering task needs
// them, and the injected faults.
#include "DataStreamAssembler.h"
#include "DroneVision.h"
#include "FeaturePacket.h"
#include "Rig.h"
#include "TestMain.h"

#include <opencv2/core.hpp>

#include <random>

namespace {

constexpr double kUnitCm = 1.255;

FeatureData viewOf(const Rig& rig, SimCamera camera, int index,
                   const DroneVisionSettings& settings = {}) {
    cv::Matx33d R;
    cv::Vec3d t;
    rig.boardToCamera(camera, index, kUnitCm, R, t);
    return DroneVision::features(rig.camera(camera), R, t, kUnitCm,
                                 static_cast<int>(pairOf(camera)), isLeft(camera) ? 1 : 2, index,
                                 settings);
}

double closestPair(const std::vector<cv::Point2f>& points) {
    double best = 1e9;
    for (size_t i = 0; i < points.size(); ++i)
        for (size_t j = i + 1; j < points.size(); ++j)
            best = std::min(best, cv::norm(points[i] - points[j]));
    return best;
}

}  // namespace

class tst_DroneVision : public QObject {
    Q_OBJECT

private slots:
    // Packets split over three reads each (the first piece at least the 12
    // bytes of a header, as the desktop needs) come out of its reassembly and
    // parser unchanged and in order.
    void packetsSurviveTheDesktopsFraming() {
        const Rig rig = Rig::defaults();
        std::vector<FeatureData> sent;
        DataStreamAssembler assembler;
        std::vector<std::unique_ptr<FeatureData>> received;
        std::mt19937 rng(5);
        for (SimCamera camera : kAllCameras) {
            for (int i = 0; i < 26; i += 5) {
                sent.push_back(viewOf(rig, camera, i));
                const QByteArray packet = FeaturePacket::encode(sent.back());
                const int a = std::uniform_int_distribution<int>(12, packet.size() - 2)(rng);
                const int b = std::uniform_int_distribution<int>(a + 1, packet.size() - 1)(rng);
                for (const QByteArray& piece :
                     {packet.left(a), packet.mid(a, b - a), packet.mid(b)}) {
                    assembler.dowork(
                        piece, [&](QByteArray& p) { received.push_back(FeaturePacket::parse(p)); });
                }
            }
        }
        QCOMPARE(received.size(), sent.size());
        for (size_t k = 0; k < sent.size(); ++k) {
            QVERIFY(received[k]);
            QCOMPARE(FeaturePacket::encode(*received[k]), FeaturePacket::encode(sent[k]));
        }
    }

    // Points are sent as H·p: in the normalised frame neighbours lie one
    // 20 px lattice step apart, well over the desktop's 12 px match distance;
    // the marks sit where their indexes say, never at index 0.
    void pointsAndMarksAsTheOrderingTaskNeedsThem() {
        const Rig rig = Rig::defaults();
        for (SimCamera camera : kAllCameras) {
            for (int i = 0; i < 26; ++i) {
                const FeatureData d = viewOf(rig, camera, i);
                QVERIFY(d.points.size() > 100);
                QVERIFY(d.points.size() <= 270);
                QVERIFY(closestPair(d.points) > 12.0);
                const auto& marks = DroneVision::markOrder();
                for (size_t m = 0; m < 3; ++m) {
                    QVERIFY(d.size[m] > 0 && d.size[m] < d.points.size());
                    const cv::Point2f expected(40.0f + marks[m].x * 20.0f,
                                               40.0f + marks[m].y * 20.0f);
                    QVERIFY2(
                        cv::norm(d.points[d.size[m]] - expected) < 3.0,
                        qPrintable(
                            QString("camera %1 image %2 mark %3").arg(int(camera)).arg(i).arg(m)));
                }
            }
        }
    }

    void missesAndHiddenMarks() {
        const Rig rig = Rig::defaults();
        const FeatureData all = viewOf(rig, SimCamera::ForwardLeft, 7);
        DroneVisionSettings s;
        s.missingFraction = 0.2;
        const FeatureData fewer = viewOf(rig, SimCamera::ForwardLeft, 7, s);
        QVERIFY(fewer.points.size() < all.points.size() * 0.9);
        QVERIFY(fewer.size[0] > 0 && fewer.size[1] > 0 && fewer.size[2] > 0);

        s = {};
        s.hideMarks = true;
        const FeatureData blind = viewOf(rig, SimCamera::ForwardLeft, 7, s);
        QCOMPARE(blind.points.size(), all.points.size() - 3);
        QCOMPARE(blind.size, (std::array<std::uint64_t, 3>{0, 0, 0}));
    }

    void sameArgumentsSamePacket() {
        const Rig rig = Rig::defaults();
        QCOMPARE(FeaturePacket::encode(viewOf(rig, SimCamera::DownwardRight, 25)),
                 FeaturePacket::encode(viewOf(rig, SimCamera::DownwardRight, 25)));
    }
};

NIMBRA_CORE_TEST_MAIN(tst_DroneVision)
#include "tst_DroneVision.moc"
