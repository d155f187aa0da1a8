// nimbra-replay: runs the calibration of a recorded run again, offline.
#include "tools/replay/RecordReplay.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

void print(const QString& line) {
    std::fprintf(stdout, "%s\n", qPrintable(line));
    std::fflush(stdout);
}

// The calibration's own debug lines would drown the summary; they are kept
// only with --verbose.
bool g_verbose = false;
void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& msg) {
    if (g_verbose || type >= QtWarningMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(msg));
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("nimbra-replay"));
    qInstallMessageHandler(quietHandler);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Replays a NimbraDesktop run record (record.nrec from a run folder under\n"
        "Documents/NimbraDesktop/runs/) through the same packet parsing, circle ordering,\n"
        "stereo calibration and depth-unit map conversion as the live run, and writes the\n"
        "calibration log (log/<time>.txt), the eight map files and the run report into the\n"
        "output folder: report.json (numbers) and report.html (open it in a browser): the\n"
        "result and, for a failed run, the check that failed with its measured value and\n"
        "accepted range; per camera the images received, ordered and dropped (with the\n"
        "ordering stage that dropped each), the reprojection error per image and a picture\n"
        "of where the points lay; the depth-unit maps' quantisation.\n"
        "The user's live NimbraDesktop files are never touched.\n\n"
        "Exit status: 0 both camera pairs calibrated, 1 the calibration failed or its\n"
        "outputs could not be written (the reason is printed), 2 the record is unreadable\n"
        "or malformed (the message names the byte offset)."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("RECORD"), QStringLiteral("The run record."));
    QCommandLineOption outOption(
        QStringLiteral("out"),
        QStringLiteral("Output folder (created). Default: a new folder replay-<n> beside the "
                       "record."),
        QStringLiteral("DIR"));
    QCommandLineOption jsonOption(QStringLiteral("json"),
                                  QStringLiteral("Print the summary as JSON on stdout."));
    QCommandLineOption verboseOption(QStringLiteral("verbose"),
                                     QStringLiteral("Show the calibration's log lines."));
    parser.addOption(outOption);
    parser.addOption(jsonOption);
    parser.addOption(verboseOption);
    parser.process(app);
    g_verbose = parser.isSet(verboseOption);

    const QStringList args = parser.positionalArguments();
    if (args.size() != 1) {
        std::fprintf(stderr, "nimbra-replay: give exactly one RECORD (see --help)\n");
        return 2;
    }
    const QString record = args.first();
    QString out = parser.value(outOption);
    if (out.isEmpty()) {
        const QDir beside = QFileInfo(record).absoluteDir();
        for (int n = 1; out.isEmpty() || QFileInfo::exists(out); ++n) {
            out = beside.filePath(QStringLiteral("replay-%1").arg(n));
        }
    }
    if (!QDir().mkpath(out + QStringLiteral("/log"))) {
        std::fprintf(stderr, "nimbra-replay: cannot create the output folder %s/log\n",
                     qPrintable(out));
        return 1;
    }

    const bool json = parser.isSet(jsonOption);
    const RecordReplay::Summary s =
        RecordReplay::run(record, out, json ? RecordReplay::Progress() : print);

    const char* verdict = s.outcome == RecordReplay::Outcome::Calibrated ? "calibrated"
                          : s.outcome == RecordReplay::Outcome::CalibrationFailed
                              ? "calibration failed"
                              : "bad record";
    if (json) {
        QJsonObject o{{"record", record},
                      {"output", out},
                      {"outcome", verdict},
                      {"error", s.error},
                      {"reason", s.reason},
                      {"records", s.records},
                      {"bytes", static_cast<double>(s.bytes)},
                      {"packets", s.packets},
                      {"tasks", s.tasks},
                      {"radiusPx", s.header.radiusPx},
                      {"screenWidthMm", s.header.screenWidthMm},
                      {"screenWidthPx", static_cast<double>(s.header.screenWidthPx)},
                      {"secondsReading", s.secondsReading},
                      {"secondsComputing", s.secondsComputing},
                      {"secondsReport", s.secondsReport},
                      {"report", s.report}};
        std::fprintf(stdout, "%s\n", QJsonDocument(o).toJson(QJsonDocument::Indented).constData());
    } else if (s.outcome == RecordReplay::Outcome::BadRecord) {
        std::fprintf(stderr, "nimbra-replay: %s: %s\n", qPrintable(record), qPrintable(s.error));
    } else {
        if (!s.report.isEmpty()) {
            print(QStringLiteral("report: %1").arg(s.report));
        }
        print(QStringLiteral("%1: %2 feature packets, %3 ordering tasks; %4 (%5 s)")
                  .arg(verdict)
                  .arg(s.packets)
                  .arg(s.tasks)
                  .arg(QStringLiteral("results in ") + out)
                  .arg(s.secondsComputing, 0, 'f', 1));
        if (!s.reason.isEmpty()) {
            std::fprintf(stderr, "nimbra-replay: %s\n", qPrintable(s.reason));
        }
    }
    return static_cast<int>(s.outcome);
}
