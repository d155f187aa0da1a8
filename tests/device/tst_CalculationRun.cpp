#include "device/BCInstanceManager.h"
#include "Calibration/CMyCalculationPicThread.h"
#include "tests/support/DroneFeatureModel.h"
#include "tests/support/FakeHttpServer.h"
#include "device/ImageCapture.h"
#include "Calibration/ImageData.h"
#include "device/ImageDeal.h"
#include "tests/support/TestMain.h"
#include "device/record/RunFolders.h"
#include "device/record/RunRecordReader.h"
#include "tools/dronesim/UploadStreamParser.h"
#include "Calibration/hi_dpu_tool.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtEndian>

#include <functional>

#include <sys/socket.h>

namespace {

const QHostAddress kDrone(QStringLiteral("127.0.0.13"));
constexpr int kRadiusPx = 35;
constexpr float kScreenMm = 344.2286f;
constexpr int kScreenPx = 1920;
constexpr int kMapFileSize = 480 * 640 * 4 + 20;

// The drone's side of the data and capture channels: records what the desktop
// sends and, once "start" has arrived on a connection, plays the feature
// packets of a run on it.
class ScriptedDrone : public QObject {
public:
    ScriptedDrone(float boardUnitCm, float reportedScale) {
        seeBoard(boardUnitCm * reportedScale);
        QObject::connect(&data, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = data.nextPendingConnection()) {
                ++dataConnections;
                dataSocket = s;
                started = false;
                received.clear();
                upload = UploadStreamParser(kMapFileSize);
                // Qt then stops reading from the kernel while the drone holds
                // the upload, so its bytes stay unacknowledged on the desktop.
                s->setReadBufferSize(4096);
                QObject::connect(s, &QTcpSocket::readyRead, this, [this, s] { readFrom(s); });
            }
        });
        QObject::connect(&capture, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = capture.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, this,
                                 [this, s] { captureReceived += s->readAll(); });
            }
        });
    }

    // The board the drone's cameras see from the next run on.
    void seeBoard(float boardUnitCm) {
        DroneFeatureSettings s;
        s.boardUnitCm = boardUnitCm;
        m_forward = std::make_unique<DroneFeatureModel>(SimulatedRig::forward(), 4, s);
        m_downward = std::make_unique<DroneFeatureModel>(SimulatedRig::downward(), 5, s);
    }

    // Runs when "start" arrives, before the first packet goes out.
    std::function<void()> onStart;
    // When set, the connection is closed after the packets of this many images.
    int closeAfterImages = -1;
    // While set, the drone reads nothing after "start": the upload stays in
    // the desktop's send queue once the drone's small receive buffer is full.
    bool holdUpload = false;

    bool listen() {
        if (!data.listen(kDrone, ImageDeal::kPort) ||
            !capture.listen(kDrone, ImageCapture::kPort)) {
            return false;
        }
        const int small = 4096;  // inherited by the accepted connection
        return setsockopt(static_cast<int>(data.socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &small,
                          sizeof(small)) == 0;
    }

    void releaseUpload() {
        holdUpload = false;
        if (dataSocket) {
            readFrom(dataSocket);
        }
    }

    // Ends the data connection with a reset, as a drone that loses power does.
    void resetConnection() {
        const linger abortive{1, 0};
        setsockopt(static_cast<int>(dataSocket->socketDescriptor()), SOL_SOCKET, SO_LINGER,
                   &abortive, sizeof(abortive));
        dataSocket->abort();
    }

    void playRun(QTcpSocket* s) {
        int images = 0;
        for (const DroneFeatureModel* model : {m_forward.get(), m_downward.get()}) {
            for (int i = 0; i < 26; ++i, ++images) {
                if (images == closeAfterImages) {
                    s->disconnectFromHost();
                    return;
                }
                for (int camera : {1, 2}) {
                    const QByteArray packet = model->packet(i, camera);
                    sentPackets += packet;
                    s->write(packet);
                }
            }
        }
        s->flush();
    }

    void readFrom(QTcpSocket* s) {
        if (s != dataSocket) {
            s->readAll();
            return;
        }
        if (started && holdUpload) {
            return;
        }
        const QByteArray bytes = s->readAll();
        received += bytes;
        if (!started && received.contains("start")) {
            started = true;
            received.remove(0, received.indexOf("start") + 5);
            if (onStart)
                onStart();
            playRun(s);
        } else if (started) {
            upload.feed(bytes);
        }
    }

    QTcpServer data;
    QTcpServer capture;
    QTcpSocket* dataSocket = nullptr;
    int dataConnections = 0;
    bool started = false;
    QByteArray received;
    QByteArray captureReceived;
    QByteArray sentPackets;
    UploadStreamParser upload{kMapFileSize};

private:
    std::unique_ptr<DroneFeatureModel> m_forward;
    std::unique_ptr<DroneFeatureModel> m_downward;
};

bool mapIsWellFormed(const QByteArray& file, int width, int height) {
    if (file.size() != width * height * 4 + 20)
        return false;
    const auto* b = reinterpret_cast<const uchar*>(file.constData());
    const quint32 crc = dpu_tool_calc_crc32(0, b + 4, static_cast<std::uint32_t>(file.size() - 4));
    return qFromLittleEndian<quint32>(b) == crc && file.mid(4, 8) == QByteArray("DPU_1.0\0", 8) &&
           qFromLittleEndian<quint32>(b + 12) == quint32(width) &&
           qFromLittleEndian<quint32>(b + 16) == quint32(height);
}

QJsonObject readReport(const QString& folder) {
    QFile file(folder + QStringLiteral("/report.json"));
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                          : QJsonObject();
}

// The forward pair's measured baseline and the failed check of a report.
QPair<double, QString> baselineAndFailure(const QJsonObject& report) {
    return {report["pairs"].toArray()[0].toObject()["baselineCm"].toDouble(),
            report["failure"].toObject()["check"].toString()};
}

double relativeError(double value, double truth) {
    return std::abs(value - truth) / std::abs(truth);
}

QString documentsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
           QStringLiteral("/NimbraDesktop");
}

// The folder of the newest run.
QString lastRunFolder() {
    QDir runs(
        RunFolders::root(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)));
    const QStringList folders = runs.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    return folders.isEmpty() ? QString() : runs.filePath(folders.last());
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The one calibration log file in a folder.
QByteArray logIn(const QString& folder) {
    const QStringList logs = QDir(folder).entryList({"*.txt"}, QDir::Files);
    return logs.size() == 1 ? fileBytes(folder + "/" + logs.first()) : QByteArray();
}

}  // namespace

// A whole calculation run without the window: the data channel against a
// scripted drone that sends the feature packets of a simulated rig; ordering
// tasks, calibration and upload are the real ones.
class TestCalculationRun : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void wholeRunUploadsFourResultsAndMaps();
    void wrongBoardScaleEndsWithWrong();
    void unwritableMapEndsOnWrongWithItsReason();
    void connectionDropEndsTheRunWithItsReason_data();
    void connectionDropEndsTheRunWithItsReason();
    void restartWhileConnectedSendsQuitAndReconnects();
    void restartDuringTheCalculationLeavesTheNextRunClean();

private:
    void runOnce(ScriptedDrone& drone, bool expectOk);
    static int replay(const QStringList& args) {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QStringLiteral(NIMBRA_REPLAY_BIN), args);
        if (!p.waitForFinished(120000))
            return -1;
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    ImageDeal* deal() { return BCInstanceManager::getInstance()->getImageDeal(); }
    float unit() const {
        return CMyCalculationPicThread::gridUnitCm(kRadiusPx,
                                                   {kScreenMm, static_cast<float>(kScreenPx)});
    }
};

void TestCalculationRun::initTestCase() {
    qputenv("NIMBRA_DEVICE_ADDRESS", kDrone.toString().toLatin1());
    QVERIFY(QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                          "/NimbraDesktop/log"));
    deal()->setRadius(kRadiusPx);
    deal()->setScreenMetrics(kScreenMm, kScreenPx);
}

void TestCalculationRun::cleanup() {
    BCInstanceManager::getInstance()->getVideoShow()->quitVideo();
    deal()->quitDeal();
    BCInstanceManager::getInstance()->getImageCapture()->quitCapture();
}

void TestCalculationRun::runOnce(ScriptedDrone& drone, bool expectOk) {
    QSignalSpy progress(deal(), &ImageDeal::progress);
    QSignalSpy result(deal(), &ImageDeal::result);
    QSignalSpy uploading(deal(), &ImageDeal::uploadProgress);
    deal()->startDeal();
    QTRY_VERIFY_WITH_TIMEOUT(drone.started, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(drone.captureReceived.contains("startfront"), 5000);
    if (drone.holdUpload) {
        // The OK page's button reboots the drone: no result while the drone
        // holds only part of the upload.
        QTRY_VERIFY_WITH_TIMEOUT(uploading.count() > 0, 120000);
        QTest::qWait(500);
        QCOMPARE(result.count(), 0);
        drone.releaseUpload();
    }
    QTRY_COMPARE_WITH_TIMEOUT(result.count(), 1, 120000);
    QCOMPARE(result.at(0).at(0).toBool(), expectOk);

    QList<int> values;
    for (const auto& args : progress)
        values << args.at(0).toInt();
    QCOMPARE(values.last(), 52);
    QList<int> expected;
    for (int n = 0; n < 52; ++n)
        expected << n;
    values.removeLast();
    std::sort(values.begin(), values.end());
    QCOMPARE(values, expected);  // one per right-camera image
}

void TestCalculationRun::wholeRunUploadsFourResultsAndMaps() {
    ScriptedDrone drone(unit(), 1.0f);
    QVERIFY(drone.listen());
    FakeHttpServer http;
    QVERIFY(http.listen(kDrone, 80));
    http.setResponse(404, "no camera in this test");
    // The board paints only after the run has started: the record and the
    // ordering tasks must still carry its radius.
    deal()->setRadius(0);
    drone.onStart = [this] { deal()->setRadius(kRadiusPx); };
    drone.holdUpload = true;

    runOnce(drone, true);

    QTRY_COMPARE_WITH_TIMEOUT(drone.upload.uploads().size(), 4, 20000);
    QTRY_VERIFY(drone.upload.uploads().last().file.size() == kMapFileSize);
    QVERIFY(drone.upload.sawRight());
    QVERIFY(!drone.upload.malformed());

    const quint16 codes[] = {257, 513, 258, 514};
    const SimulatedRig rigs[] = {SimulatedRig::forward(), SimulatedRig::forward(),
                                 SimulatedRig::downward(), SimulatedRig::downward()};
    for (int c = 0; c < 4; ++c) {
        const UploadStreamParser::Upload& u = drone.upload.uploads().at(c);
        QCOMPARE(u.result.typeCode(), codes[c]);
        QVERIFY(u.chunksInOrder);
        const cv::Mat K = c % 2 == 0 ? rigs[c].left.K : rigs[c].right.K;
        const int w = rigs[c].imageSize.width, h = rigs[c].imageSize.height;
        QVERIFY2(mapIsWellFormed(u.file, w, h), qPrintable(QString::number(c)));
        for (auto [value, truth] : {std::pair{u.result.fx, K.at<double>(0, 0)},
                                    std::pair{u.result.fy, K.at<double>(1, 1)},
                                    std::pair{u.result.cx, K.at<double>(0, 2)},
                                    std::pair{u.result.cy, K.at<double>(1, 2)},
                                    std::pair{u.result.tx, rigs[c].T.at<double>(0)}}) {
            QVERIFY2(relativeError(value, truth) < 0.01,
                     qPrintable(QString("camera %1: %2 vs truth %3").arg(c).arg(value).arg(truth)));
        }
    }
    // The run folder keeps what arrived, unchanged, with the board geometry,
    // the calibration log and the four maps.
    QDir runs(
        RunFolders::root(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)));
    const QStringList folders = runs.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    QVERIFY(!folders.isEmpty());
    QDir run(runs.filePath(folders.last()));
    QFile record(run.filePath("record.nrec"));
    QVERIFY(record.open(QIODevice::ReadOnly));
    RunRecordReader reader(&record);
    QVERIFY2(reader.readHeader(), qPrintable(reader.error()));
    QCOMPARE(reader.header().radiusPx, kRadiusPx);
    QCOMPARE(reader.header().screenWidthPx, quint32(kScreenPx));
    QCOMPARE(static_cast<float>(reader.header().screenWidthMm), kScreenMm);
    QByteArray recorded;
    RunRecordReader::Record r;
    while (reader.next(&r))
        recorded += r.bytes;
    QCOMPARE(reader.error(), QString());
    QCOMPARE(recorded, drone.sentPackets);
    for (const char* name : {"480_640_1__LeftMap.dat", "480_640_1__RightMap.dat",
                             "640_480_1__LeftMap.dat", "640_480_1__RightMap.dat"}) {
        QVERIFY2(QFileInfo(run.filePath(name)).size() == kMapFileSize, name);
    }
    QCOMPARE(run.entryList({"*.txt"}, QDir::Files).size(), 1);

    // A replay of that record computes, byte for byte, the maps the live run
    // uploaded, its raw maps and its calibration log.
    QTemporaryDir out;
    QCOMPARE(replay({run.filePath("record.nrec"), "--out", out.path()}), 0);
    for (const char* name : {"480_640_1__LeftMap.dat", "480_640_1__RightMap.dat",
                             "640_480_1__LeftMap.dat", "640_480_1__RightMap.dat"}) {
        QVERIFY2(fileBytes(run.filePath(name)) == fileBytes(out.filePath(name)), name);
    }
    for (const char* name : {"480_640_0__LeftMap.dat", "480_640_0__RightMap.dat",
                             "640_480_0__LeftMap.dat", "640_480_0__RightMap.dat"}) {
        const QByteArray live = fileBytes(documentsFolder() + "/" + name);
        QVERIFY2(live.size() == 2457600 && live == fileBytes(out.filePath(name)), name);
    }
    const QByteArray log = logIn(run.path());
    QVERIFY(log.contains("DOWN_pr"));
    QCOMPARE(logIn(out.path() + "/log"), log);

    // Both wrote a report of the same run; the live one compared the maps it
    // uploaded. It is written after the result, so it may still be on its way.
    QTRY_VERIFY(QFile::exists(run.filePath("report.json")));
    const QJsonObject liveReport = readReport(run.path());
    QCOMPARE(liveReport["result"].toString(), QString("OK"));
    QCOMPARE(liveReport["source"].toString(), QString("live"));
    QCOMPARE(liveReport["maps"].toArray().size(), 4);
    for (const QJsonValue& m : liveReport["maps"].toArray()) {
        QVERIFY(m.toObject()["compared"].toBool());
        QVERIFY(m.toObject()["maxErrorPx"].toDouble() < 0.045);
    }
    QVERIFY(QFileInfo(run.filePath("report.html")).size() > 10000);
    QCOMPARE(baselineAndFailure(readReport(out.path())), baselineAndFailure(liveReport));

    // A record cut in the middle of a record is refused, naming the offset.
    QTemporaryDir cut;
    QFile::copy(run.filePath("record.nrec"), cut.filePath("cut.nrec"));
    QFile truncated(cut.filePath("cut.nrec"));
    QVERIFY(truncated.resize(truncated.size() - 3));
    QCOMPARE(replay({cut.filePath("cut.nrec"), "--out", cut.filePath("o")}), 2);
}

void TestCalculationRun::wrongBoardScaleEndsWithWrong() {
    // The drone's board is 10 % larger than what the desktop believes it drew.
    ScriptedDrone drone(unit(), 1.1f);
    QVERIFY(drone.listen());
    runOnce(drone, false);
    QTRY_VERIFY_WITH_TIMEOUT(drone.upload.sawWrong(), 5000);
    QTest::qWait(200);
    QCOMPARE(drone.upload.uploads().size(), 0);

    // Its record replays to the same failure.
    QDir runs(
        RunFolders::root(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)));
    const QStringList folders = runs.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    QTemporaryDir out;
    QCOMPARE(replay({runs.filePath(folders.last() + "/record.nrec"), "--out", out.path()}), 1);

    // Both reports name the baseline check with the same measured value.
    QTRY_VERIFY(QFile::exists(runs.filePath(folders.last() + "/report.json")));
    const auto live = baselineAndFailure(readReport(runs.filePath(folders.last())));
    QCOMPARE(live.second, QString("baseline"));
    QVERIFY2(std::abs(live.first - 5.9 / 1.1) < 0.05, qPrintable(QString::number(live.first)));
    QCOMPARE(baselineAndFailure(readReport(out.path())), live);
}

void TestCalculationRun::unwritableMapEndsOnWrongWithItsReason() {
    // Something the program cannot replace where the forward left depth-unit
    // map goes: even root cannot write a file over a folder.
    const QString blocker = documentsFolder() + "/480_640_1__LeftMap.dat";
    QFile::remove(blocker);
    QVERIFY(QDir().mkpath(blocker + "/keep"));
    // A map an earlier run left.
    QFile stale(documentsFolder() + "/640_480_1__RightMap.dat");
    QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write("earlier run") > 0);
    stale.close();
    ScriptedDrone drone(unit(), 1.0f);
    QVERIFY(drone.listen());
    runOnce(drone, false);
    QTRY_VERIFY_WITH_TIMEOUT(drone.upload.sawWrong(), 5000);
    QCOMPARE(drone.upload.uploads().size(), 0);

    QTRY_VERIFY(QFile::exists(lastRunFolder() + "/report.json"));
    const QJsonObject failure = readReport(lastRunFolder())["failure"].toObject();
    QCOMPARE(failure["pair"].toString(), QString("forward"));
    QCOMPARE(failure["check"].toString(), QString("outputs"));
    QVERIFY2(failure["message"].toString().contains("480_640_1__LeftMap.dat"),
             qPrintable(failure["message"].toString()));
    // The earlier run's map is not this run's.
    QVERIFY(!QFile::exists(lastRunFolder() + "/640_480_1__RightMap.dat"));
    QVERIFY(QDir(blocker).removeRecursively());
}

void TestCalculationRun::connectionDropEndsTheRunWithItsReason_data() {
    QTest::addColumn<bool>("duringUpload");
    QTest::addColumn<QString>("check");
    QTest::addColumn<QString>("message");
    QTest::newRow("capture") << false << "connection"
                             << "dropped after 60 of the run's 104";
    QTest::newRow("upload") << true << "upload"
                            << "the data connection was lost";
}

void TestCalculationRun::connectionDropEndsTheRunWithItsReason() {
    QFETCH(bool, duringUpload);
    QFETCH(QString, check);
    QFETCH(QString, message);
    ScriptedDrone drone(unit(), 1.0f);
    if (duringUpload) {
        drone.holdUpload = true;
    } else {
        drone.closeAfterImages = 30;
    }
    QVERIFY(drone.listen());
    QSignalSpy progress(deal(), &ImageDeal::progress);
    QSignalSpy result(deal(), &ImageDeal::result);
    QSignalSpy uploading(deal(), &ImageDeal::uploadProgress);
    deal()->startDeal();
    if (duringUpload) {
        QTRY_VERIFY_WITH_TIMEOUT(uploading.count() > 0, 120000);
        drone.resetConnection();
    }
    QTRY_COMPARE_WITH_TIMEOUT(result.count(), 1, 60000);
    QCOMPARE(result.at(0).at(0).toBool(), false);
    QCOMPARE(progress.last().at(0).toInt(), 52);

    QTRY_VERIFY(QFile::exists(lastRunFolder() + "/report.json"));
    const QJsonObject report = readReport(lastRunFolder());
    QCOMPARE(report["result"].toString(), QString("NG"));
    const QJsonObject failure = report["failure"].toObject();
    QCOMPARE(failure["check"].toString(), check);
    QVERIFY2(failure["message"].toString().contains(message),
             qPrintable(failure["message"].toString()));
}

void TestCalculationRun::restartWhileConnectedSendsQuitAndReconnects() {
    ScriptedDrone drone(unit(), 1.0f);
    QVERIFY(drone.listen());
    deal()->startDeal();
    QTRY_COMPARE_WITH_TIMEOUT(drone.dataConnections, 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(drone.started, 10000);
    QTcpSocket* first = drone.dataSocket;
    QByteArray tail;
    connect(first, &QTcpSocket::readyRead, [&] { tail += first->peek(first->bytesAvailable()); });
    deal()->startDeal();
    QTRY_COMPARE_WITH_TIMEOUT(drone.dataConnections, 2, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(
        first->state() != QAbstractSocket::ConnectedState || tail.contains("quit"), 5000);
}

void TestCalculationRun::restartDuringTheCalculationLeavesTheNextRunClean() {
    // The first run's board is 10 % too large: had any of its lists or results
    // leaked into the second run, that one would not come out right.
    ScriptedDrone drone(unit(), 1.1f);
    QVERIFY(drone.listen());
    QSignalSpy progress(deal(), &ImageDeal::progress);
    QSignalSpy result(deal(), &ImageDeal::result);
    deal()->startDeal();
    // The last record is handed over: ordering and calibration are under way.
    QTRY_VERIFY_WITH_TIMEOUT(progress.contains(QVariantList{51}), 60000);
    drone.seeBoard(unit());
    QElapsedTimer clock;
    clock.start();
    deal()->startDeal();
    qInfo("the restart returned after %lld ms", clock.elapsed());
    QVERIFY(result.isEmpty());

    QTRY_COMPARE_WITH_TIMEOUT(drone.dataConnections, 2, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(result.count(), 1, 120000);
    QCOMPARE(result.at(0).at(0).toBool(), true);
    QTRY_COMPARE_WITH_TIMEOUT(drone.upload.uploads().size(), 4, 20000);
    for (int c = 0; c < 4; ++c) {
        const double truth =
            (c < 2 ? SimulatedRig::forward() : SimulatedRig::downward()).T.at<double>(0);
        const double tx = drone.upload.uploads().at(c).result.tx;
        QVERIFY2(relativeError(tx, truth) < 0.01, qPrintable(QString::number(tx)));
    }
    // The abandoned run never reports, not even late.
    QTest::qWait(500);
    QCOMPARE(result.count(), 1);
}

NIMBRA_CORE_TEST_MAIN(TestCalculationRun)
#include "tst_CalculationRun.moc"
