#include "Calibration/CalibrationRun.h"
#include "Calibration/report/RunReportBuilder.h"
#include "Calibration/report/RunReportJson.h"

#include "tests/support/RunOutcomes.h"
#include "tests/support/SyntheticRunRecord.h"
#include "tests/support/OutputCapture.h"
#include "tests/support/TestMain.h"

#include <QDir>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QThreadPool>

namespace {

const SyntheticRunRecord::Geometry kGeometry;
const CMyCalculationPicThread::ScreenMetrics kScreen = SyntheticRunRecord::screen(kGeometry);

const QStringList kMapFiles = {"480_640_0__LeftMap.dat", "480_640_0__RightMap.dat",
                               "480_640_1__LeftMap.dat", "480_640_1__RightMap.dat",
                               "640_480_0__LeftMap.dat", "640_480_0__RightMap.dat",
                               "640_480_1__LeftMap.dat", "640_480_1__RightMap.dat"};

const std::vector<FeatureData>& runRecords() {
    static const std::vector<FeatureData> records = SyntheticRunRecord::features(kGeometry);
    return records;
}

QString outputFolder(const QTemporaryDir& dir, const QString& name) {
    const QString folder = dir.filePath(name);
    QDir().mkpath(folder + "/log");
    return folder;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The run's calibration log: the one file in the folder's log folder.
QByteArray logOf(const QString& folder) {
    const QStringList logs = QDir(folder + "/log").entryList({"*.txt"}, QDir::Files);
    return logs.size() == 1 ? fileBytes(folder + "/log/" + logs.first()) : QByteArray();
}

QByteArray reportJson(RunReport::Report report) {
    report.generated = QDateTime();
    return QJsonDocument(RunReportJson::toJson(report)).toJson();
}

RunReport::Board board() {
    RunReport::Board b;
    b.radiusPx = kGeometry.radiusPx;
    b.screenWidthMm = kGeometry.screenWidthMm;
    b.screenWidthPx = kGeometry.screenWidthPx;
    return b;
}

}  // namespace

// Whole runs of simulated feature records through CalibrationRun: what the
// pipelined run computes, and how it ends when its last image cannot be
// ordered. (Outputs that cannot be written: tst_CalculationRun, tst_ReplayCli.)
class TestCalibrationPipeline : public QObject {
    Q_OBJECT

private slots:
    void init() { m_log = std::make_unique<LogCapture>(); }
    void cleanup() {
        QThreadPool::globalInstance()->waitForDone();
        m_log.reset();
    }
    void pipelinedRunEqualsTheSequentialComputation();
    void unorderableLastImageEndsTheRunWithItsStage();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<LogCapture> m_log;
};

void TestCalibrationPipeline::pipelinedRunEqualsTheSequentialComputation() {
    const std::vector<FeatureData>& records = runRecords();
    const QString pipelined = outputFolder(m_dir, "pipelined");
    const QString sequential = outputFolder(m_dir, "sequential");
    StdoutCapture quiet;

    RunOutcomes outcomes;
    auto run = CalibrationRun::create(pipelined, outcomes.handler());
    run->setBoard(kGeometry.radiusPx, kScreen);
    for (size_t r = 0; r < records.size() / 2; ++r) {
        QVERIFY(run->addRecord(records[r]).accepted);
    }
    // As in a live run, the forward pair is calibrated while the downward
    // capture still goes on.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(pipelined + "/480_640_1__RightMap.dat"), 60000);
    QVERIFY(!run->isFinished());
    for (size_t r = records.size() / 2; r < records.size(); ++r) {
        QVERIFY(run->addRecord(records[r]).accepted);
    }
    QTRY_COMPARE_WITH_TIMEOUT(outcomes.count(), 1, 120000);
    QVERIFY2(outcomes.first().passed(), qPrintable(outcomes.first().message));

    // The same records ordered one after the other, then the whole
    // computation at once.
    ImageData store;
    store.setOutputFolder(sequential);
    store.startRun();
    std::vector<CalibrationRun::ImageRecord> tasks;
    for (const FeatureData& f : records) {
        CMyCalculationPicThread task(0, QString());
        task.setAutoDelete(false);
        task.setRadius(kGeometry.radiusPx);
        task.setStore(&store);
        const int image = f.index + (f.view == 5 ? ImageData::kSlotsPerPair : 0);
        task.startTask(image, f.view1, f.points, {f.size[0], f.size[1], f.size[2]},
                       cv::Mat(3, 3, CV_64F, const_cast<double*>(f.mat.data())).clone(), kScreen);
        task.run();
        CalibrationRun::ImageRecord t;
        t.imageIndex = image;
        t.camera = f.view1;
        t.centres = static_cast<int>(f.points.size());
        t.stored = task.stored();
        t.points = t.stored ? static_cast<int>(task.sortedImagePoints().size()) : 0;
        t.dropStage = CMyCalculationPicThread::stageName(task.dropReason().stage);
        t.dropDetail = task.dropReason().detail;
        t.unusedPoints = task.unusedImagePoints();
        tasks.push_back(t);
    }
    QVERIFY(store.calibrateRun());
    quiet.finish();  // the comparisons' failures must reach the test log

    for (const QString& name : kMapFiles) {
        const QByteArray bytes = fileBytes(pipelined + "/" + name);
        QVERIFY2(!bytes.isEmpty() && bytes == fileBytes(sequential + "/" + name), qPrintable(name));
    }
    const QByteArray log = logOf(pipelined);
    QVERIFY(log.contains("DOWN_pr"));
    QCOMPARE(log, logOf(sequential));

    RunReportBuilder::Input input;
    input.store = &store;
    input.outcome = RunOutcome::success();
    input.tasks = tasks;
    input.board = board();
    input.source = "replay";
    const QByteArray reference = reportJson(RunReportBuilder::build(input));
    QCOMPARE(reportJson(RunReportBuilder::build(*run, outcomes.first(), board(), "replay", "")),
             reference);
}

void TestCalibrationPipeline::unorderableLastImageEndsTheRunWithItsStage() {
    const QString folder = outputFolder(m_dir, "last");
    StdoutCapture quiet;
    RunOutcomes outcomes;
    auto run = CalibrationRun::create(folder, outcomes.handler());
    run->setBoard(kGeometry.radiusPx, kScreen);
    const std::vector<FeatureData>& records = runRecords();
    for (size_t r = 0; r < records.size() / 2; ++r) {
        QVERIFY(run->addRecord(records[r]).accepted);
    }
    FeatureData last = records.back();
    last.size = {0, 0, 0};  // the drone found no mark
    QVERIFY(run->addRecord(last).accepted);
    QTRY_COMPARE_WITH_TIMEOUT(outcomes.count(), 1, 120000);

    const RunOutcome outcome = outcomes.first();
    QCOMPARE(int(outcome.reason), int(RunOutcome::Reason::LastImageNotOrdered));
    QVERIFY2(outcome.message.contains("could not be ordered (the drone did not find mark circle"),
             qPrintable(outcome.message));
    QCOMPARE(int(run->store().m_diagnostics.forward.stop), int(PairDiagnostics::Stop::Passed));
    QCOMPARE(int(run->store().m_diagnostics.downward.stop), int(PairDiagnostics::Stop::NotRun));
    const QJsonObject report =
        RunReportJson::toJson(RunReportBuilder::build(*run, outcome, board(), "live", ""));
    QCOMPARE(report["failure"].toObject()["check"].toString(), QString("lastImage"));
    QVERIFY(report["explanation"].toString().startsWith("Result NG: The last image of the run"));
}

NIMBRA_CORE_TEST_MAIN(TestCalibrationPipeline)
#include "tst_calibrationpipeline.moc"
