#include "tests/Calibration/CalibrationRunFixture.h"

#include "Calibration/ImageData.h"
#include "tests/support/StereoRigSimulator.h"

#include "tests/support/OutputCapture.h"
#include "tests/support/TestMain.h"

#include <QFile>
#include <QRegularExpression>

namespace {

bool isIdentity(const cv::Mat& m) {
    return cv::norm(m, cv::Mat::eye(m.rows, m.cols, CV_64F), cv::NORM_INF) == 0.0;
}

QString readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The number after a logged label such as "font-标定板尺寸不对".
double loggedValue(const LogCapture& log, const QString& label) {
    for (const QString& m : log.messages()) {
        if (m.startsWith(label)) {
            return m.mid(label.size()).trimmed().toDouble();
        }
    }
    return -1.0;
}

}  // namespace

class TestStereoCalibration : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        m_folder = prepareDocuments();
        m_forward = simulateViews(SimulatedRig::forward());
        m_downward = simulateViews(SimulatedRig::downward());
    }

    void init() {
        for (const QString& name : QDir(m_folder).entryList(QDir::Files)) {
            QFile::remove(m_folder + "/" + name);
        }
    }

    void wrongBoardScaleFailsTheBaselineAndSkipsTheDownwardPair() {
        SimulationSettings tenPercentLarge;
        tenPercentLarge.reportedUnitCm = tenPercentLarge.trueUnitCm * 1.1f;
        ImageData store;
        store.startRun();
        storeViews(store, simulateViews(SimulatedRig::forward(), tenPercentLarge), true);
        storeViews(store, m_downward, false);

        LogCapture log;
        StdoutCapture out;
        QVERIFY(!store.calibrateRun());
        QCOMPARE(out.finish(), QString());
        QCOMPARE(int(store.m_nCalibResult), ImageData::kResultFailed);

        const double baseline = loggedValue(log, "font-标定板尺寸不对");
        QVERIFY2(std::fabs(baseline - 5.9 * 1.1) < 0.05, qPrintable(QString::number(baseline)));
        QVERIFY(!log.contains("down-标定板尺寸不对"));
        QVERIFY(isIdentity(store.m_matLeftCamera_down) && isIdentity(store.m_matRightCamera_down));
        QVERIFY(isIdentity(store.m_matLeftProj_front) && isIdentity(store.m_matLeftProj_down));
        const QString logFile = readAll(store.m_strLogFile);
        QVERIFY(logFile.contains("\t<----前视T矩阵---->\n"));
        QVERIFY(!logFile.contains("DOWN") && !logFile.contains("下视"));
        QVERIFY(!logFile.contains("forw-Rl"));
        QVERIFY(QDir(m_folder).entryList(QDir::Files).isEmpty());
    }

    void grosslyWrongViewFailsTheRmsCheck() {
        std::vector<SimulatedView> views = m_forward;
        cv::RNG rng(7);
        for (cv::Point2f& p : views[4].leftImage) {
            p += cv::Point2f(float(rng.gaussian(4.0)), float(rng.gaussian(4.0)));
        }
        ImageData store;
        store.startRun();
        storeViews(store, views, true);
        store.fixSortData();

        LogCapture log;
        QVERIFY(!store.calibration_front());
        QCOMPARE(loggedValue(log, "maxValue: "), 0.5);
        QVERIFY(loggedValue(log, "FRONT_LEFT_RMS: ") > 0.5);
        QVERIFY(loggedValue(log, "FRONT_RIGHT_RMS: ") < 0.5);
        QVERIFY(log.contains("FRONT_ERR: "));
        QVERIFY(!log.contains("标定板尺寸不对"));
        QVERIFY(isIdentity(store.m_matLeftProj_front));
        QVERIFY(!QFile::exists(store.m_strFrontLeftMap));
    }

    void downwardFailureKeepsTheForwardMaps() {
        SimulationSettings tenPercentSmall;
        tenPercentSmall.reportedUnitCm = tenPercentSmall.trueUnitCm * 0.9f;
        ImageData store;
        store.startRun();
        storeViews(store, m_forward, true);
        storeViews(store, simulateViews(SimulatedRig::downward(), tenPercentSmall), false);

        LogCapture log;
        StdoutCapture out;
        QVERIFY(!store.calibrateRun());
        QCOMPARE(out.finish().count("Trans map successful!"), 2);
        QCOMPARE(int(store.m_nCalibResult), ImageData::kResultFailed);
        const double baseline = loggedValue(log, "down-标定板尺寸不对");
        QVERIFY2(std::fabs(baseline - 3.9 * 0.9) < 0.05, qPrintable(QString::number(baseline)));
        QCOMPARE(QFileInfo(store.m_strFrontLeftDpuMap).size(), qint64(1228820));
        QCOMPARE(QFileInfo(store.m_strFrontRightMap).size(), qint64(2457600));
        QVERIFY(!QFile::exists(store.m_strDownLeftMap) &&
                !QFile::exists(store.m_strDownRightDpuMap));
        // The downward entries follow the forward ones in the same log file.
        const QString logFile = readAll(store.m_strLogFile);
        QVERIFY(logFile.indexOf("forw-pr") < logFile.indexOf("DOWN_LEFT_RMS"));
        QVERIFY(logFile.contains("\t<----下视T矩阵---->\n"));
    }

    void refusedInputFailsInsteadOfAborting_data() {
        QTest::addColumn<int>("pointsKept");
        QTest::addColumn<bool>("rightCameraSeesNothing");
        QTest::newRow("camera without views") << -1 << true;
        QTest::newRow("view with three points") << 3 << false;
    }

    void refusedInputFailsInsteadOfAborting() {
        QFETCH(int, pointsKept);
        QFETCH(bool, rightCameraSeesNothing);
        std::vector<SimulatedView> views = m_forward;
        if (rightCameraSeesNothing) {
            for (SimulatedView& v : views) {
                v.rightImage.clear();
                v.rightBoard.clear();
            }
        } else {
            views[2].leftImage.resize(pointsKept);
            views[2].leftBoard.resize(pointsKept);
        }
        ImageData store;
        store.startRun();
        storeViews(store, views, true);
        storeViews(store, m_downward, false);

        LogCapture log;
        QVERIFY(!store.calibrateRun());
        QCOMPARE(int(store.m_nCalibResult), ImageData::kResultFailed);
        QVERIFY(log.contains("calibration refused by OpenCV"));
        QVERIFY(isIdentity(store.m_matLeftCamera_down));
    }

    void viewsWithoutCommonPointsGiveNoStereoInput() {
        // The left camera sees the even views, the right camera the odd ones.
        std::vector<SimulatedView> views = m_forward;
        for (size_t v = 0; v < views.size(); ++v) {
            SimulatedView& view = views[v];
            if (v % 2 == 0) {
                view.rightImage.clear();
                view.rightBoard.clear();
            } else {
                view.leftImage.clear();
                view.leftBoard.clear();
            }
        }
        ImageData store;
        store.startRun();
        storeViews(store, views, true);
        store.fixSortData();

        LogCapture log;
        QVERIFY(!store.calibration_front());
        QVERIFY(log.contains("stereo lists empty or unequal"));
        // Both cameras were calibrated on their own views before the check.
        QVERIFY(!isIdentity(store.m_matLeftCamera_front) &&
                !isIdentity(store.m_matRightCamera_front));
        QVERIFY(readAll(store.m_strLogFile).contains("FRONT_RIGHT_RMS"));
        QVERIFY(!readAll(store.m_strLogFile).contains("FRONT_ERR"));
    }

private:
    QString m_folder;
    std::vector<SimulatedView> m_forward;
    std::vector<SimulatedView> m_downward;
};

NIMBRA_CORE_TEST_MAIN(TestStereoCalibration)
#include "tst_stereocalibration.moc"
