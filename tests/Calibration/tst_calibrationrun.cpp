#include "Calibration/CalibrationRun.h"

#include "tests/support/OutputCapture.h"
#include "tests/support/RunOutcomes.h"
#include "tests/support/TestMain.h"

#include <QTemporaryDir>
#include <QThreadPool>

namespace {

// A record the ordering gives up on at once: its centres lie on one straight
// row, so there is no bent path between them.
FeatureData straightRow(int pair, int index, int camera, int centres = 3) {
    FeatureData f;
    f.view = static_cast<std::uint8_t>(pair);
    f.view1 = static_cast<std::uint8_t>(camera);
    f.index = static_cast<std::uint32_t>(index);
    for (int i = 0; i < centres; ++i) {
        f.points.emplace_back(10.0f * static_cast<float>(i), 5.0f);
    }
    f.size = {1, 2, 1};
    f.mat = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    return f;
}

std::shared_ptr<CalibrationRun> makeRun(const QString& folder, RunOutcomes& outcomes) {
    auto run = CalibrationRun::create(folder, outcomes.handler());
    run->setBoard(35.0f, {344.2f, 1920.0f});
    return run;
}

// Every record of a run, forward then downward, left then right, in the
// order the drone sends them; the run's last one only when asked.
void feedRun(CalibrationRun& run, bool withLast) {
    for (int image = 0; image < ImageData::kImagesPerRun; ++image) {
        for (int camera : {1, 2}) {
            if (image == CalibrationRun::kLastImageIndex && camera == 2 && !withLast) {
                continue;
            }
            const int pair = image < ImageData::kSlotsPerPair ? 4 : 5;
            QVERIFY(run.addRecord(straightRow(pair, image % ImageData::kSlotsPerPair, camera))
                        .accepted);
        }
    }
}

}  // namespace

// The run's bookkeeping, on records the ordering drops at once: which records
// it takes, and that it always ends, once, with the reason it ended for.
class TestCalibrationRun : public QObject {
    Q_OBJECT

private slots:
    void init() { m_log = std::make_unique<LogCapture>(); }
    void cleanup() {
        QThreadPool::globalInstance()->waitForDone();
        m_log.reset();
    }
    void recordWithoutAPlaceIsRefused_data();
    void recordWithoutAPlaceIsRefused();
    void lateRecordOfAClosedPairIsRefused();
    void runWithoutItsLastImageFails_data();
    void runWithoutItsLastImageFails();
    void lastImageWithinTheBoundIsNoTimeout();
    void abortedRunNeverReportsNorTouchesTheNext();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<LogCapture> m_log;
};

void TestCalibrationRun::recordWithoutAPlaceIsRefused_data() {
    QTest::addColumn<int>("pair");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("camera");
    QTest::newRow("unknown pair") << 6 << 3 << 1;
    QTest::newRow("forward image 26") << 4 << 26 << 2;
    QTest::newRow("downward image 26, which would be global 52") << 5 << 26 << 2;
    QTest::newRow("image 4294967295") << 5 << -1 << 1;
    QTest::newRow("camera 0") << 4 << 3 << 0;
    QTest::newRow("camera 3") << 5 << 3 << 3;
}

void TestCalibrationRun::recordWithoutAPlaceIsRefused() {
    QFETCH(int, pair);
    QFETCH(int, index);
    QFETCH(int, camera);
    RunOutcomes outcomes;
    auto run = makeRun(m_dir.path(), outcomes);
    const CalibrationRun::Admission a = run->addRecord(straightRow(pair, index, camera));
    QVERIFY(!a.accepted);
    QCOMPARE(a.imageIndex, -1);
    QVERIFY2(a.reason.contains("has no place in a run"), qPrintable(a.reason));
    QThreadPool::globalInstance()->waitForDone();
    QVERIFY(run->imageRecords().empty());
    QCOMPARE(outcomes.count(), 0);
}

void TestCalibrationRun::lateRecordOfAClosedPairIsRefused() {
    RunOutcomes outcomes;
    auto run = makeRun(m_dir.path(), outcomes);
    // Image 25's right camera before its left one: the pair waits for both.
    QVERIFY(run->addRecord(straightRow(4, 25, 2)).accepted);
    QVERIFY(run->addRecord(straightRow(4, 25, 1)).accepted);
    const CalibrationRun::Admission late = run->addRecord(straightRow(4, 3, 1));
    QVERIFY(!late.accepted);
    QCOMPARE(late.imageIndex, 3);
    QVERIFY2(late.reason.contains("after the last image of the forward pair"),
             qPrintable(late.reason));
    // The downward pair is still open.
    QVERIFY(run->addRecord(straightRow(5, 0, 1)).accepted);

    QTRY_COMPARE(run->imageRecords().size(), size_t(4));
    for (const CalibrationRun::ImageRecord& r : run->imageRecords()) {
        QVERIFY(!r.stored);
        QCOMPARE(r.centres, 3);  // what the drone sent
        if (r.imageIndex == 3) {
            QCOMPARE(r.dropStage, QString("run"));
        } else {
            QCOMPARE(r.dropStage, QString("bendVectors"));
            QVERIFY2(r.dropDetail.contains("among the 3 centres"), qPrintable(r.dropDetail));
        }
    }
}

void TestCalibrationRun::runWithoutItsLastImageFails_data() {
    QTest::addColumn<QString>("ending");
    QTest::addColumn<int>("reason");
    QTest::addColumn<QString>("words");
    QTest::newRow("the records end")
        << "stream" << int(RunOutcome::Reason::LastImageMissing) << "ended before its last image";
    QTest::newRow("the connection drops") << "connection" << int(RunOutcome::Reason::ConnectionLost)
                                          << "dropped after 103 of the run's 104 feature records";
    QTest::newRow("the capture ended")
        << "capture" << int(RunOutcome::Reason::LastImageTimeout)
        << "did not arrive within 0.1 s after the drone reported the downward capture finished";
}

void TestCalibrationRun::runWithoutItsLastImageFails() {
    QFETCH(QString, ending);
    QFETCH(int, reason);
    QFETCH(QString, words);
    RunOutcomes outcomes;
    auto run = makeRun(m_dir.path(), outcomes);
    feedRun(*run, false);
    if (ending == "stream") {
        run->streamEnded();
    } else if (ending == "connection") {
        run->connectionLost();
    } else {
        run->captureFinished(std::chrono::milliseconds(100));
    }
    QTRY_COMPARE_WITH_TIMEOUT(outcomes.count(), 1, 20000);
    const RunOutcome outcome = outcomes.first();
    QCOMPARE(int(outcome.reason), reason);
    QVERIFY2(outcome.message.contains(words), qPrintable(outcome.message));
    QVERIFY(run->isFinished());
    QCOMPARE(int(run->store().m_nCalibResult), ImageData::kResultFailed);
    // Published once every task had ended: the report sees all of them.
    QCOMPARE(run->imageRecords().size(), size_t(103));

    // Nothing that comes later ends it again or reopens it.
    run->connectionLost();
    run->streamEnded();
    QVERIFY(!run->addRecord(straightRow(5, 25, 2)).accepted);
    QTest::qWait(200);
    QCOMPARE(outcomes.count(), 1);
}

void TestCalibrationRun::lastImageWithinTheBoundIsNoTimeout() {
    RunOutcomes outcomes;
    auto run = makeRun(m_dir.path(), outcomes);
    feedRun(*run, false);
    run->captureFinished(std::chrono::milliseconds(400));
    QVERIFY(run->addRecord(straightRow(5, 25, 2)).accepted);
    // Once the last image is in, a dropped connection is the upload's
    // business, not the run's.
    run->connectionLost();
    QTRY_COMPARE_WITH_TIMEOUT(outcomes.count(), 1, 20000);
    // None of these views can be calibrated: the forward pair fails.
    QCOMPARE(int(outcomes.first().reason), int(RunOutcome::Reason::PairFailed));
    QVERIFY2(outcomes.first().message.contains("the forward pair failed"),
             qPrintable(outcomes.first().message));
    QCOMPARE(int(run->store().m_diagnostics.forward.stop),
             int(PairDiagnostics::Stop::OpenCvRefused));
    QCOMPARE(int(run->store().m_diagnostics.downward.stop), int(PairDiagnostics::Stop::NotRun));
    QTest::qWait(600);
    QCOMPARE(outcomes.count(), 1);
}

void TestCalibrationRun::abortedRunNeverReportsNorTouchesTheNext() {
    RunOutcomes first;
    auto abandoned = makeRun(m_dir.path(), first);
    feedRun(*abandoned, false);
    abandoned->abort();

    // The next run starts at once, with a store of its own.
    RunOutcomes second;
    auto next = makeRun(m_dir.path(), second);
    QVERIFY(next->addRecord(straightRow(4, 0, 1)).accepted);
    abandoned->captureFinished(std::chrono::milliseconds(50));
    abandoned->streamEnded();
    next->streamEnded();
    QTRY_COMPARE_WITH_TIMEOUT(second.count(), 1, 20000);
    QCOMPARE(int(second.first().reason), int(RunOutcome::Reason::LastImageMissing));
    QCOMPARE(next->imageRecords().size(), size_t(1));

    QThreadPool::globalInstance()->waitForDone();
    QTest::qWait(200);
    QCOMPARE(first.count(), 0);
    QVERIFY(!abandoned->isFinished());
    QCOMPARE(int(abandoned->store().m_nCalibResult), ImageData::kResultPending);
}

NIMBRA_CORE_TEST_MAIN(TestCalibrationRun)
#include "tst_calibrationrun.moc"
