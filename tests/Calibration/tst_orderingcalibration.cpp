#include "tests/support/OrderedStereoRun.h"

#include "tests/support/OutputCapture.h"
#include "tests/support/TestMain.h"

#include <QTemporaryDir>

// Whole runs of ground-truth rigs through the ordering tasks and the store's
// calibration, against the same calibration of the true ordering: the
// ordering must place every circle it can (so that the calibration sees the
// circles near the image border that fix distortion and the relative
// rotation) and none wrongly, and the rectification must then be as good as
// the one from the truth, judged by the vertical disparity of true
// correspondences.
class TestOrderingCalibration : public QObject {
    Q_OBJECT

private slots:
    void matchesTheCalibrationOfTheTrueOrdering_data() {
        QTest::addColumn<int>("rigSeed");  // 0: the simulator's built-in rig
        QTest::addColumn<double>("noisePx");
        QTest::newRow("simulator rig, 0.3 px") << 0 << 0.3;
        QTest::newRow("generated rig 5, 0.3 px") << 5 << 0.3;
        QTest::newRow("generated rig 6, 0.3 px") << 6 << 0.3;
    }

    void matchesTheCalibrationOfTheTrueOrdering() {
        QFETCH(int, rigSeed);
        QFETCH(double, noisePx);
        const Rig rig = rigSeed == 0
                            ? Rig::defaults()
                            : OrderedStereoRun::generatedRig(static_cast<uint64_t>(rigSeed));
        StereoRunSettings settings;
        settings.noisePx = noisePx;
        if (rigSeed != 0) {
            settings.seed = static_cast<uint64_t>(rigSeed);
        }
        QTemporaryDir folder;
        StereoRunOutcome outcome;
        {
            LogCapture quiet;
            StdoutCapture conversionReports;
            outcome = OrderedStereoRun::run(rig, settings, folder.path());
        }
        qInfo(
            "coverage %.2f %%, %d images not stored, p95 vertical disparity forward %.3f / "
            "%.3f px, downward %.3f / %.3f px (ordered / truth)",
            100.0 * outcome.coverage(), outcome.imagesDropped, outcome.ordered[0].verticalP95Px,
            outcome.truth[0].verticalP95Px, outcome.ordered[1].verticalP95Px,
            outcome.truth[1].verticalP95Px);
        QCOMPARE(outcome.wrong, size_t(0));
        QVERIFY(outcome.coverage() >= 0.99);
        for (int pair = 0; pair < 2; ++pair) {
            QVERIFY(outcome.truth[pair].calibrated);
            QVERIFY(outcome.ordered[pair].calibrated);
            QVERIFY(outcome.truth[pair].correspondences > 1000);
        }
        QVERIFY2(outcome.worstOrdered() <= 1.1 * outcome.worstTruth(),
                 qPrintable(QString("worst p95 %1 px against %2 px from the truth")
                                .arg(outcome.worstOrdered())
                                .arg(outcome.worstTruth())));
    }
};

NIMBRA_CORE_TEST_MAIN(TestOrderingCalibration)
#include "tst_orderingcalibration.moc"
