// A whole calibration run of the desktop's real device sessions (data channel,
// capture control, mode switch, stream reader, from the registry) against the
// simulator: the drone flies both pairs, the desktop calibrates and uploads,
// and the simulator's verifier judges the upload against its ground truth.
#include "BCInstanceManager.h"
#include "CMyCalculationPicThread.h"
#include "DroneSimProcess.h"
#include "ImageCapture.h"
#include "ImageDeal.h"
#include "ModelChange.h"
#include "TestMain.h"
#include "VideoShow.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

const QString kDrone = QStringLiteral("127.0.0.70");
const QString kWrongScaleDrone = QStringLiteral("127.0.0.71");
constexpr int kRadiusPx = 35;
constexpr float kScreenMm = 344.2286f;
constexpr int kScreenPx = 1920;

BCInstanceManager* registry() {
    return BCInstanceManager::getInstance();
}

// Milliseconds since midnight of a simulator log line "HH:MM:SS.mmm [service] text"
// that contains `text`; -1 when there is none.
qint64 logTimeOf(const QString& log, const QString& text) {
    for (const QString& line : log.split('\n')) {
        if (line.contains(text)) {
            const QTime t = QTime::fromString(line.left(12), QStringLiteral("HH:mm:ss.zzz"));
            return t.isValid() ? t.msecsSinceStartOfDay() : -1;
        }
    }
    return -1;
}

}  // namespace

class tst_DroneSimCalibrationRun : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                              "/NimbraDesktop/log"));
        registry()->getImageDeal()->setRadius(kRadiusPx);
        registry()->getImageDeal()->setScreenMetrics(kScreenMm, kScreenPx);
    }

    void cleanup() {
        registry()->getVideoShow()->quitVideo();
        registry()->getImageDeal()->quitDeal();
        registry()->getImageCapture()->quitCapture();
    }

    void wholeRunPassesTheVerifier() {
        const QString reportPath = m_dir.filePath("report.json");
        DroneSimProcess sim{QStringLiteral(DRONESIM_PATH)};
        QList<int> indexes;
        QVERIFY(runOnce(sim, kDrone, {"--report", reportPath}, &indexes));
        if (QTest::currentTestFailed())
            return;

        QList<int> expected;
        for (int pair = 0; pair < 2; ++pair)
            for (int i = 0; i < 26; ++i)
                expected << i;
        QCOMPARE(indexes, expected);

        QVERIFY2(sim.waitForOutput("[verifier] PASS", 20000), qPrintable(sim.output()));
        QFile file(reportPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject report = QJsonDocument::fromJson(file.readAll()).object();
        QCOMPARE(report["pass"].toBool(), true);
        QCOMPARE(report["cameras"].toArray().size(), 4);

        cleanup();  // the pages' order: stream reader, data channel, capture channel
        QVERIFY2(sim.waitForOutput("[data] quit", 5000), qPrintable(sim.output()));

        const QString log = sim.output();
        const qint64 lastPacket = logTimeOf(log, QStringLiteral("[data] last feature packet sent"));
        const qint64 verdict = logTimeOf(log, QStringLiteral("[data] right"));
        QVERIFY(lastPacket >= 0 && verdict >= lastPacket);
        // For a person reading the test log: the verifier's numbers and the time the
        // desktop took from the last image to its verdict.
        for (const QString& line : log.split('\n')) {
            if (line.contains("[verifier]"))
                std::printf("%s\n", qPrintable(line));
        }
        std::printf("last feature packet to \"right\": %lld ms, to result(true): %lld ms\n",
                    verdict - lastPacket, m_resultAtMs - lastPacket);
    }

    void wrongBoardScaleEndsWithWrong() {
        DroneSimProcess sim{QStringLiteral(DRONESIM_PATH)};
        QList<int> indexes;
        QVERIFY(!runOnce(sim, kWrongScaleDrone, {"--fault-board-scale", "1.1"}, &indexes));
        if (QTest::currentTestFailed())
            return;
        QVERIFY(sim.output().contains("[dronesim] armed fault: board scale 1.1"));
        QVERIFY2(sim.waitForOutput("[data] wrong", 5000), qPrintable(sim.output()));
        QVERIFY(sim.waitForOutput("[verifier] FAIL", 5000));
    }

private:
    // Starts the simulator, runs both pairs through the desktop's sessions and
    // returns the result signal's value (false also when none came).
    bool runOnce(DroneSimProcess& sim, const QString& address, const QStringList& args,
                 QList<int>* indexes);
    QString unitArgument() const {
        const float unit = CMyCalculationPicThread::gridUnitCm(
            kRadiusPx, {kScreenMm, static_cast<float>(kScreenPx)});
        return QString::number(static_cast<double>(unit), 'g', 9);
    }

    QTemporaryDir m_dir;
    qint64 m_resultAtMs = -1;  // UTC milliseconds of the day, like the simulator's log
};

bool tst_DroneSimCalibrationRun::runOnce(DroneSimProcess& sim, const QString& address,
                                         const QStringList& args, QList<int>* indexes) {
    qputenv("NIMBRA_DEVICE_ADDRESS", address.toLatin1());
    const QStringList common = {
        "--board-unit-cm",     unitArgument(), "--board-radius-px", QString::number(kRadiusPx),
        "--image-interval-ms", "50",           "--capture-lead-ms", "1200"};
    if (!sim.start(address, common + args)) {
        qWarning() << sim.output() << sim.errorOutput();
        return false;
    }
    ImageDeal* deal = registry()->getImageDeal();
    ImageCapture* capture = registry()->getImageCapture();
    QSignalSpy progress(deal, &ImageDeal::progress);
    QSignalSpy result(deal, &ImageDeal::result);
    QSignalSpy forwardDone(capture, &ImageCapture::forwardFinished);
    QSignalSpy downwardDone(capture, &ImageCapture::downwardFinished);
    QSignalSpy cameras(capture, &ImageCapture::imageChanged);
    connect(capture, &ImageCapture::imageIndex, this, [indexes](int i) { indexes->append(i); });
    // The forward-pair-finished page: the user goes on at once.
    connect(capture, &ImageCapture::forwardFinished, capture, &ImageCapture::forward2Downward,
            Qt::QueuedConnection);

    connect(
        deal, &ImageDeal::result, this,
        [this] { m_resultAtMs = QDateTime::currentDateTimeUtc().time().msecsSinceStartOfDay(); },
        Qt::DirectConnection);
    deal->startDeal();
    if (!QTest::qWaitFor([&] { return !result.isEmpty(); }, 50000)) {
        qWarning() << "no result; simulator said:" << sim.output();
        return false;
    }
    disconnect(capture, nullptr, this, nullptr);
    disconnect(deal, nullptr, this, nullptr);
    disconnect(capture, &ImageCapture::forwardFinished, capture, &ImageCapture::forward2Downward);
    [&] {
        QCOMPARE(forwardDone.count(), 1);
        QTRY_COMPARE(downwardDone.count(), 1);
        QList<VideoShow::VideoPosition> opened;
        for (const auto& a : cameras)
            opened << a.at(0).value<VideoShow::VideoPosition>();
        QCOMPARE(opened, (QList<VideoShow::VideoPosition>{
                             VideoShow::ForwardLeft, VideoShow::ForwardRight,
                             VideoShow::DownwardLeft, VideoShow::DownwardRight}));
        QCOMPARE(progress.last().at(0).toInt(), 52);
        QCOMPARE(progress.count(), 53);
    }();
    return result.at(0).at(0).toBool();
}

NIMBRA_CORE_TEST_MAIN(tst_DroneSimCalibrationRun)
#include "tst_DroneSimCalibrationRun.moc"
