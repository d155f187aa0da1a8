// The four camera streams as FFmpeg's own tools see them over RTSP/TCP, and the
// injected open failures.
#include "DroneSimProcess.h"
#include "TestMain.h"

#include <QImage>
#include <QTemporaryDir>

namespace {

const QString kAddress = QStringLiteral("127.0.0.64");
const QString kFaultAddress = QStringLiteral("127.0.0.65");

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun runTool(const QString& program, const QStringList& args, int timeoutMs = 20000) {
    QProcess process;
    process.start(program, args);
    ToolRun run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(2000);
        run.err = "timed out";
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// fast: skip FFmpeg's stream analysis (the SDP already carries the H.264
// parameter sets), which takes about a second per open.
ToolRun probe(const QString& url, bool fast = false) {
    QStringList args{"-v", "error", "-rtsp_transport", "tcp"};
    if (fast) {
        args << "-probesize"
             << "32"
             << "-analyzeduration"
             << "0";
    }
    return runTool("ffprobe", args + QStringList{"-show_entries", "stream=codec_name,width,height",
                                                 "-of", "csv=p=0", url});
}

}  // namespace

class tst_DroneSimStreams : public QObject {
    Q_OBJECT

private slots:
    void allFourStreamsOpenAndDecode_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("forward right") << "/ov7251_01" << 480 << 640;
        QTest::newRow("forward left") << "/ov7251_02" << 480 << 640;
        QTest::newRow("downward right") << "/ov7251_03" << 640 << 480;
        QTest::newRow("downward left") << "/ov7251_04" << 640 << 480;
    }

    // ffprobe reports an H.264 stream of the camera's size, and one decoded
    // frame shows the board: a white screen with many dark circles on a darker
    // surround.
    void allFourStreamsOpenAndDecode() {
        QFETCH(QString, path);
        QFETCH(int, width);
        QFETCH(int, height);
        static DroneSimProcess sim{QStringLiteral(DRONESIM_PATH)};
        if (sim.process().state() == QProcess::NotRunning) {
            QVERIFY2(sim.start(kAddress), qPrintable(sim.output() + sim.errorOutput()));
        }
        const QString url = "rtsp://" + kAddress + ":554" + path;

        const ToolRun probed = probe(url);
        QVERIFY2(probed.exitCode == 0, probed.err.constData());
        QCOMPARE(probed.out.trimmed(), QByteArray("h264," + QByteArray::number(width) + "," +
                                                  QByteArray::number(height)));

        QTemporaryDir dir;
        const QString png = dir.filePath("frame.png");
        const ToolRun grabbed =
            runTool("ffmpeg", {"-v", "error", "-rtsp_transport", "tcp", "-probesize", "32",
                               "-analyzeduration", "0", "-i", url, "-frames:v", "1", "-y", png});
        QVERIFY2(grabbed.exitCode == 0, grabbed.err.constData());
        const QImage frame = QImage(png).convertToFormat(QImage::Format_Grayscale8);
        QCOMPARE(frame.size(), QSize(width, height));
        int light = 0;
        int dark = 0;
        for (int y = 0; y < frame.height(); ++y) {
            const uchar* row = frame.constScanLine(y);
            for (int x = 0; x < frame.width(); ++x) {
                light += row[x] > 180;
                dark += row[x] < 50;
            }
        }
        const int total = width * height;
        QVERIFY2(light > total / 10, qPrintable(QString::number(light)));
        QVERIFY2(dark > total / 40, qPrintable(QString::number(dark)));
        QVERIFY(sim.waitForOutput("open 2 of " + path, 2000));
    }

    void streamOpenFaults() {
        DroneSimProcess sim{QStringLiteral(DRONESIM_PATH)};
        QVERIFY2(sim.start(kFaultAddress, {"--fault-stream-fail", "/ov7251_02:2",
                                           "--fault-stream-fail", "/ov7251_03:always"}),
                 qPrintable(sim.output() + sim.errorOutput()));
        const QString forwardLeft = "rtsp://" + kFaultAddress + ":554/ov7251_02";
        const QString downwardRight = "rtsp://" + kFaultAddress + ":554/ov7251_03";

        QVERIFY(probe(forwardLeft, true).exitCode != 0);
        QVERIFY(probe(forwardLeft, true).exitCode != 0);
        const ToolRun third = probe(forwardLeft, true);
        QVERIFY2(third.exitCode == 0, third.err.constData());
        for (int i = 0; i < 3; ++i) {
            QVERIFY(probe(downwardRight, true).exitCode != 0);
        }
        const QString out = sim.output();
        QVERIFY(out.contains("[rtsp] FAULT stream /ov7251_02 open 1 refused"));
        QVERIFY(out.contains("[rtsp] FAULT stream /ov7251_02 open 2 refused"));
        QVERIFY(!out.contains("FAULT stream /ov7251_02 open 3"));
        QVERIFY(out.contains("[rtsp] FAULT stream /ov7251_03 open 3 refused"));
        QCOMPARE(sim.terminate(), 0);
    }
};

NIMBRA_CORE_TEST_MAIN(tst_DroneSimStreams)
#include "tst_DroneSimStreams.moc"
