#include "Calibration/report/FailureExplanation.h"
#include "Calibration/report/RunReportJson.h"
#include "Calibration/report/RunReportSummary.h"
#include "tests/support/TestMain.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

using Stop = PairDiagnostics::Stop;

RunReport::Pair pair(const QString& key, Stop stop, double baselineCm, double rmsPx,
                     int leftOrdered, int rightOrdered) {
    RunReport::Pair p;
    p.key = key;
    p.name = key;
    p.stop = stop;
    p.stereoRms = rmsPx;
    p.baselineCm = baselineCm;
    p.minBaselineCm = key == QLatin1String("forward") ? 5.7 : 3.7;
    p.maxBaselineCm = key == QLatin1String("forward") ? 6.1 : 4.1;
    p.maxRmsPx = 0.5;
    p.left.key = key + QStringLiteral("Left");
    p.right.key = key + QStringLiteral("Right");
    p.left.received = p.right.received = 26;
    p.left.ordered = leftOrdered;
    p.right.ordered = rightOrdered;
    p.left.calibrated = leftOrdered > 0;
    p.right.calibrated = rightOrdered > 0;
    p.left.rms = p.right.rms = rmsPx;
    p.stereoViews = std::min(leftOrdered, rightOrdered);
    return p;
}

// What the run writes: report.json of these pairs, read back.
RunReportSummary written(std::vector<RunReport::Pair> pairs, bool succeeded) {
    RunReport::Report report;
    report.source = QStringLiteral("live");
    report.succeeded = succeeded;
    report.board.radiusPx = 23;
    report.board.screenWidthMm = 508.0;
    report.board.screenWidthPx = 1920;
    bool forwardFailed = false;
    for (RunReport::Pair& p : pairs) {
        FailureExplanation::explainPair(p, report.board, forwardFailed);
        forwardFailed = forwardFailed || (p.stop != Stop::Passed && p.stop != Stop::NotRun);
    }
    report.pairs = pairs;
    return RunReportSummary::fromJson(QJsonDocument(RunReportJson::toJson(report)).toJson());
}

}  // namespace

// The result pages' reading of report.json: written by the run, read back
// with the failed check's numbers; anything else is unknown, never a number.
class TestRunReportSummary : public QObject {
    Q_OBJECT

private slots:
    void failedCheckComesWithItsMeasuredValueAndRange() {
        const RunReportSummary s =
            written({pair(QStringLiteral("forward"), Stop::BaselineOutOfRange, 6.195, 0.21, 26, 26),
                     pair(QStringLiteral("downward"), Stop::NotRun, NAN, NAN, 0, 0)},
                    false);
        QVERIFY2(s.readable, qPrintable(s.error));
        QVERIFY(!s.succeeded);
        QVERIFY(s.hasFailure);
        QCOMPARE(s.failure.pair, QStringLiteral("forward"));
        QCOMPARE(s.failure.check, QStringLiteral("baseline"));
        QCOMPARE(s.failure.measured, 6.195);
        QCOMPARE(s.failure.min, 5.7);
        QCOMPARE(s.failure.max, 6.1);
        QCOMPARE(s.failure.unit, QStringLiteral("cm"));
        QVERIFY(s.failure.message.contains(QStringLiteral("6.20")));
        QCOMPARE(s.screenWidthMm, 508.0);
        QCOMPARE(s.screenWidthPx, 1920);
        QCOMPARE(s.pairs.size(), size_t(2));
        QVERIFY(!s.pair(QStringLiteral("downward"))->calibrated);
    }

    void aCameraThatSawNothingIsNamedWithItsCount() {
        const RunReportSummary s =
            written({pair(QStringLiteral("forward"), Stop::OpenCvRefused, NAN, NAN, 0, 25)}, false);
        QCOMPARE(s.failure.check, QStringLiteral("images"));
        QCOMPARE(s.failure.measured, 0.0);
        const RunReportSummary::Pair* forward = s.pair(QStringLiteral("forward"));
        QVERIFY(forward);
        QCOMPARE(forward->left.key, QStringLiteral("forwardLeft"));
        QCOMPARE(forward->left.ordered, 0);
        QCOMPARE(forward->right.ordered, 25);
        QCOMPARE(forward->right.received, 26);
    }

    void passedRunHasEachPairsQualityAndNoFailure() {
        const RunReportSummary s =
            written({pair(QStringLiteral("forward"), Stop::Passed, 5.93, 0.214, 26, 26),
                     pair(QStringLiteral("downward"), Stop::Passed, 3.89, 0.187, 26, 25)},
                    true);
        QVERIFY(s.succeeded);
        QVERIFY(!s.hasFailure);
        QCOMPARE(s.pairs.at(0).baselineCm, 5.93);
        QCOMPARE(s.pairs.at(0).minBaselineCm, 5.7);
        QCOMPARE(s.pairs.at(1).maxBaselineCm, 4.1);
        QCOMPARE(s.pairs.at(1).stereoRmsPx, 0.187);
        QVERIFY(s.pairs.at(1).calibrated);
    }

    void reasonsOutsideThePairsHaveNoNumbers() {
        const RunReportSummary s = RunReportSummary::fromJson(
            "{\"format\": \"nimbra-run-report\", \"version\": 1, \"result\": \"NG\", "
            "\"failure\": {\"pair\": null, \"check\": \"connection\", \"message\": \"lost\"}, "
            "\"board\": {\"screenWidthMm\": \"wide\"}, \"pairs\": [{\"pair\": \"forward\", "
            "\"baselineCm\": null, \"baselineRangeCm\": [5.7], \"cameras\": [{}]}]}");
        QVERIFY(s.readable);
        QCOMPARE(s.failure.check, QStringLiteral("connection"));
        QVERIFY(s.failure.pair.isEmpty());
        QVERIFY(std::isnan(s.failure.measured));
        QVERIFY(std::isnan(s.screenWidthMm));
        QVERIFY(std::isnan(s.pairs.at(0).baselineCm));
        QVERIFY(std::isnan(s.pairs.at(0).minBaselineCm));
        QCOMPARE(s.pairs.at(0).left.ordered, -1);
    }

    void whatIsNotARunReportIsNotReadable_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("cut short") << QByteArray("{\"format\": \"nimbra-run-report\", \"resu");
        QTest::newRow("another format") << QByteArray("{\"format\": \"x\", \"result\": \"OK\"}");
        QTest::newRow("no result") << QByteArray("{\"format\": \"nimbra-run-report\"}");
        QTest::newRow("array") << QByteArray("[1, 2]");
    }

    void whatIsNotARunReportIsNotReadable() {
        QFETCH(QByteArray, json);
        const RunReportSummary s = RunReportSummary::fromJson(json);
        QVERIFY(!s.readable);
        QVERIFY(!s.error.isEmpty());
    }

    void missingFileIsNotReadableAndKeepsItsFolder() {
        QTemporaryDir dir;
        const RunReportSummary s = RunReportSummary::read(dir.path());
        QVERIFY(!s.readable);
        QVERIFY(s.error.contains(QStringLiteral("report.json")));
        QCOMPARE(s.htmlPath(), dir.path() + QStringLiteral("/report.html"));
    }
};

NIMBRA_CORE_TEST_MAIN(TestRunReportSummary)
#include "tst_runreportsummary.moc"
