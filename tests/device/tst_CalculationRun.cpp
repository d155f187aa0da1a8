#include "device/BCInstanceManager.h"
#include "Calibration/CMyCalculationPicThread.h"
#include "tests/support/DroneFeatureModel.h"
#include "tests/support/FakeHttpServer.h"
#include "device/ImageCapture.h"
#include "Calibration/ImageData.h"
#include "device/ImageDeal.h"
#include "tests/support/TestMain.h"
#include "device/record/RunFolders.h"
#include "tools/dronesim/UploadStreamParser.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

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
                    s->write(packet);
                }
            }
        }
        s->flush();
    }

    void readFrom(QTcpSocket* s) {
        if (s != dataSocket) {
            heard[s] += s->readAll();
            return;
        }
        if (started && holdUpload) {
            return;
        }
        const QByteArray bytes = s->readAll();
        heard[s] += bytes;
        received += bytes;
        if (!started && received.contains("start")) {
            started = true;
            received.remove(0, received.indexOf("start") + 5);
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
    QHash<QTcpSocket*, QByteArray> heard;  // everything each data connection sent
    UploadStreamParser upload{kMapFileSize};

private:
    std::unique_ptr<DroneFeatureModel> m_forward;
    std::unique_ptr<DroneFeatureModel> m_downward;
};

QJsonObject readReport(const QString& folder) {
    QFile file(folder + QStringLiteral("/report.json"));
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                          : QJsonObject();
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

}  // namespace

// A whole calculation run without the window: the data channel against a
// scripted drone that sends the feature packets of a simulated rig; ordering
// tasks, calibration and upload are the real ones.
class TestCalculationRun : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void unwritableMapEndsOnWrongWithItsReason();
    void connectionDropEndsTheRunWithItsReason_data();
    void connectionDropEndsTheRunWithItsReason();
    void restartDuringTheCalculationLeavesTheNextRunClean();

private:
    void runOnce(ScriptedDrone& drone, bool expectOk);
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
    QSignalSpy result(deal(), &ImageDeal::result);
    deal()->startDeal();
    QTRY_VERIFY_WITH_TIMEOUT(drone.started, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(drone.captureReceived.contains("startfront"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(result.count(), 1, 120000);
    QCOMPARE(result.at(0).at(0).toBool(), expectOk);
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
    QTcpSocket* first = drone.dataSocket;
    deal()->startDeal();
    QVERIFY(result.isEmpty());

    // The drone is told to quit the old run; the new one has a connection of its own.
    QTRY_COMPARE_WITH_TIMEOUT(drone.dataConnections, 2, 10000);
    QTRY_VERIFY(drone.heard.value(first).endsWith("quit"));
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
