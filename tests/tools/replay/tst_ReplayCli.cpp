#include "device/record/RunRecordWriter.h"
#include "tests/support/SyntheticRunRecord.h"
#include "tests/support/TestMain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

Outcome runProgram(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    Outcome o;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit) {
        p.kill();
        p.waitForFinished();
        return o;
    }
    o.exitCode = p.exitCode();
    o.out = QString::fromUtf8(p.readAllStandardOutput());
    o.err = QString::fromUtf8(p.readAllStandardError());
    return o;
}

Outcome replay(const QStringList& args) {
    return runProgram(QStringLiteral(NIMBRA_REPLAY_BIN), args);
}

RunRecordFormat::Header header(int radius = 35, double mm = 344.2, quint32 px = 1920) {
    RunRecordFormat::Header h;
    h.radiusPx = radius;
    h.screenWidthMm = mm;
    h.screenWidthPx = px;
    return h;
}

}  // namespace

// The nimbra-replay program as a user runs it: exit status, messages and the
// report it leaves.
class TestReplayCli : public QObject {
    Q_OBJECT

private slots:
    void malformedRecordExitsTwoNamingTheOffset_data();
    void malformedRecordExitsTwoNamingTheOffset();
    void wrongBoardScaleExitsOneAndReportsTheBaseline();
    void fullOutputFolderExitsOneWithTheReason();

private:
    QTemporaryDir m_dir;
};

// The record's own checks are tst_RunRecord's; here, that the program
// refuses what they refuse, with exit status 2, naming the file.
void TestReplayCli::malformedRecordExitsTwoNamingTheOffset_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty file") << QByteArray() << "too short for its 32-byte header at byte 0";
    QTest::newRow("wrong magic")
        << QByteArray("NIMBREC9").append(RunRecordWriter::encodeHeader(header()).mid(8))
        << "not a run record";
    // A real run cut inside its third packet.
    QTest::newRow("run cut inside a packet")
        << SyntheticRunRecord::build().left(32 + 3 * 13 + 2000 * 3)
        << "runs past the end of the record at byte";
}

void TestReplayCli::malformedRecordExitsTwoNamingTheOffset() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    const QString path = m_dir.filePath(QString(QTest::currentDataTag()).replace(' ', '_'));
    QFile file(path + ".nrec");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    const Outcome o = replay({file.fileName(), "--out", path + "-out"});
    QCOMPARE(o.exitCode, 2);
    QVERIFY2(o.err.contains(message), qPrintable(o.err));
    QVERIFY2(o.err.startsWith("nimbra-replay: " + file.fileName() + ": "), qPrintable(o.err));
}

void TestReplayCli::wrongBoardScaleExitsOneAndReportsTheBaseline() {
    // The drone saw a board 10 % larger than the one the record's screen
    // geometry describes: every length, the baseline too, comes out 1/1.1.
    QFile file(m_dir.filePath("large-board.nrec"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(SyntheticRunRecord::build({}, 1.1f));
    file.close();
    const QString out = m_dir.filePath("large-board");

    const Outcome o = replay({file.fileName(), "--out", out});
    QCOMPARE(o.exitCode, 1);
    QVERIFY2(o.out.contains("calibration failed") && o.out.contains("report: " + out),
             qPrintable(o.out));

    QFile reportFile(out + "/report.json");
    QVERIFY(reportFile.open(QIODevice::ReadOnly));
    const QJsonObject report = QJsonDocument::fromJson(reportFile.readAll()).object();
    QCOMPARE(report["result"].toString(), QString("NG"));
    QCOMPARE(report["source"].toString(), QString("replay"));
    const QJsonObject failure = report["failure"].toObject();
    QCOMPARE(failure["pair"].toString(), QString("forward"));
    QCOMPARE(failure["check"].toString(), QString("baseline"));
    const QJsonObject forward = report["pairs"].toArray()[0].toObject();
    const double baseline = forward["baselineCm"].toDouble();
    QVERIFY2(std::fabs(baseline - 5.9 / 1.1) < 0.05, qPrintable(QString::number(baseline)));
}

void TestReplayCli::fullOutputFolderExitsOneWithTheReason() {
    QFile file(m_dir.filePath("full.nrec"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(SyntheticRunRecord::build());
    file.close();
    const QString out = m_dir.filePath("full");
    QVERIFY(QDir().mkpath(out));

    // The output folder on a filesystem of 3 MB, in a mount namespace of the
    // replay's own: the log and the first raw map (2.4 MB) fit, the second
    // raw map does not.
    const Outcome o =
        runProgram("unshare", {"-m", "--propagation", "private", "sh", "-c",
                               "mount -t tmpfs -o size=3m nimbra-full \"$0\" || exit 125; "
                               "exec \"$1\" \"$2\" --out \"$0\"",
                               out, NIMBRA_REPLAY_BIN, file.fileName()});
    if (o.exitCode == 125 || o.exitCode == -1) {
        QSKIP("no private tmpfs can be mounted here");
    }
    QCOMPARE(o.exitCode, 1);
    QVERIFY2(o.out.contains("calibration failed"), qPrintable(o.out));
    QVERIFY2(o.err.contains(out + "/480_640_0__RightMap.dat: No space left on device"),
             qPrintable(o.err));
}

NIMBRA_CORE_TEST_MAIN(TestReplayCli)
#include "tst_ReplayCli.moc"
