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

void TestReplayCli::malformedRecordExitsTwoNamingTheOffset_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    const QByteArray good = RunRecordWriter::encodeHeader(header());
    const QByteArray chunk = RunRecordWriter::encodeRecord(1000, 1, "\x01\x02garbage");
    QByteArray wrongVersion = good;
    wrongVersion[8] = 2;
    QByteArray pastEnd = good + chunk + RunRecordWriter::encodeRecord(5, 1, "abcdef");
    pastEnd.chop(2);
    // A real run cut inside its third packet.
    const QByteArray run = SyntheticRunRecord::build().left(32 + 3 * 13 + 2000 * 3);

    QTest::newRow("empty file") << QByteArray() << "too short for its 32-byte header at byte 0";
    QTest::newRow("truncated header") << good.left(20) << "at byte 20";
    QTest::newRow("wrong magic") << QByteArray("NIMBREC9").append(good.mid(8))
                                 << "not a run record (magic is not \"NIMBREC1\") at byte 0";
    QTest::newRow("wrong version") << wrongVersion << "unsupported record version 2 at byte 8";
    QTest::newRow("radius 0") << RunRecordWriter::encodeHeader(header(0))
                              << "board radius 0 px is not positive at byte 12";
    QTest::newRow("radius negative") << RunRecordWriter::encodeHeader(header(-4))
                                     << "board radius -4 px is not positive at byte 12";
    QTest::newRow("screen width 0 mm") << RunRecordWriter::encodeHeader(header(35, 0.0))
                                       << "screen width 0 mm is not positive at byte 16";
    QTest::newRow("screen width 0 px") << RunRecordWriter::encodeHeader(header(35, 344.2, 0))
                                       << "screen width of 0 pixels at byte 24";
    QTest::newRow("channel other than 1")
        << good + chunk + RunRecordWriter::encodeRecord(9, 7, "x")
        << QString("unknown channel 7 at byte %1").arg(32 + chunk.size() + 8);
    QTest::newRow("length past the end") << pastEnd
                                         << QString(
                                                "record length 6 runs past the end of the "
                                                "record at byte %1")
                                                .arg(32 + chunk.size() + 9);
    QTest::newRow("4 GiB length") << good + QByteArray::fromHex("000000000000000001ffffffff")
                                  << "record length 4294967295 runs past the end of the record "
                                     "at byte 41";
    QTest::newRow("truncated record header")
        << good + chunk + QByteArray(7, '\0')
        << QString("truncated record header at byte %1").arg(32 + chunk.size());
    QTest::newRow("run cut inside a packet") << run << "runs past the end of the record at byte";
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
    QVERIFY(failure["message"].toString().contains(
        QString("baseline %1 cm, expected 5.70-6.10 cm").arg(baseline, 0, 'f', 2)));
    for (const QJsonValue& c : forward["checks"].toArray()) {
        if (c["check"] == "baseline") {
            QCOMPARE(c["state"].toString(), QString("failed"));
            QCOMPARE(c["measured"].toDouble(), baseline);
        }
    }
    // Every image of the forward pair was received and ordered.
    for (const QJsonValue& camera : forward["cameras"].toArray()) {
        QCOMPARE(camera["imagesReceived"].toInt(), 26);
        QCOMPARE(camera["imagesOrdered"].toInt(), 26);
        QCOMPARE(camera["views"].toArray().size(), 26);
    }
    QCOMPARE(report["pairs"].toArray()[1].toObject()["calibrated"].toBool(), false);
    QVERIFY(QFileInfo(out + "/report.html").size() > 10000);

    const Outcome help = replay({"--help"});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.contains("report.json") && help.out.contains("Exit status"));
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
    QVERIFY2(o.err.contains("nimbra-replay: Result NG: The forward pair passed every check, but "
                            "its calibration could not be saved (cannot write " +
                            out + "/480_640_0__RightMap.dat: No space left on device)"),
             qPrintable(o.err));
}

NIMBRA_CORE_TEST_MAIN(TestReplayCli)
#include "tst_ReplayCli.moc"
