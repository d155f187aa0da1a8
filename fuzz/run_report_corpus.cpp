// Seed corpus of the result pages' reading of report.json: reports written by
// the project's own writer, a failed run (the baseline check) and a passed
// one, and a run that failed outside the pairs' checks.
#include "fuzz/CorpusFiles.h"
#include "Calibration/report/FailureExplanation.h"
#include "Calibration/report/RunReportJson.h"

#include <QJsonDocument>

namespace {

RunReport::Pair pair(const QString& key, PairDiagnostics::Stop stop, double baselineCm) {
    RunReport::Pair p;
    p.key = p.name = key;
    p.stop = stop;
    p.baselineCm = baselineCm;
    p.stereoRms = 0.21;
    p.minBaselineCm = 5.7;
    p.maxBaselineCm = 6.1;
    p.maxRmsPx = 0.5;
    p.left.key = key + QStringLiteral("Left");
    p.right.key = key + QStringLiteral("Right");
    p.left.received = p.right.received = p.left.ordered = p.right.ordered = 26;
    return p;
}

QByteArray written(std::vector<RunReport::Pair> pairs, bool succeeded,
                   const RunOutcome& outcome = RunOutcome::success()) {
    RunReport::Report report;
    report.succeeded = succeeded;
    report.outcome = outcome;
    report.board.screenWidthMm = 508.0;
    report.board.screenWidthPx = 1920;
    for (RunReport::Pair& p : pairs) {
        FailureExplanation::explainPair(p, report.board, false);
    }
    report.pairs = pairs;
    return QJsonDocument(RunReportJson::toJson(report)).toJson();
}

}  // namespace

int main(int argc, char* argv[]) {
    CorpusFiles corpus(argc, argv);
    if (!corpus.usable()) {
        return corpus.exitCode();
    }
    using Stop = PairDiagnostics::Stop;
    corpus.add(written({pair(QStringLiteral("forward"), Stop::BaselineOutOfRange, 6.19),
                        pair(QStringLiteral("downward"), Stop::NotRun, 0.0)},
                       false));
    corpus.add(written({pair(QStringLiteral("forward"), Stop::Passed, 5.9),
                        pair(QStringLiteral("downward"), Stop::Passed, 3.9)},
                       true));
    corpus.add(written({pair(QStringLiteral("forward"), Stop::NotRun, 0.0),
                        pair(QStringLiteral("downward"), Stop::NotRun, 0.0)},
                       false,
                       RunOutcome::failure(RunOutcome::Reason::ConnectionLost,
                                           QStringLiteral("the data connection dropped"))));
    return corpus.exitCode();
}
