// The upload counts as delivered only once the drone holds every byte: the
// wait for the peer's acknowledgements, and the data channel's result after
// its upload, against a peer that reads late, reads nothing or resets.

#include "Calibration/ImageData.h"
#include "device/BCInstanceManager.h"
#include "device/ImageCapture.h"
#include "device/ImageDeal.h"
#include "device/UploadDelivery.h"
#include "tests/support/OutputCapture.h"
#include "tests/support/TestMain.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/socket.h>
#include <unistd.h>

namespace {

// No capture channel listens here: the data channel is alone.
const QHostAddress kDrone(QStringLiteral("127.0.0.17"));

// The drone's side of one connection, on the raw socket so that not reading
// really leaves the bytes unacknowledged once its small receive buffer is full.
class SlowPeer : public QTcpServer {
public:
    ~SlowPeer() override { closeConnection(); }

    bool listenOn(const QHostAddress& address, quint16 port = 0) {
        if (!listen(address, port)) {
            return false;
        }
        const int small = 4096;  // inherited by the accepted connection
        return setsockopt(static_cast<int>(socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &small,
                          sizeof(small)) == 0;
    }

    bool connected() const { return m_fd >= 0; }
    QByteArray received() const { return m_received; }

    // Reads whatever arrives from now on.
    void startReading() {
        QObject::connect(&m_drain, &QTimer::timeout, [this] { drain(); });
        m_drain.start(2);
    }

    // Ends the connection with a reset, as a drone that loses power does.
    void reset() {
        const linger abortive{1, 0};
        setsockopt(static_cast<int>(m_fd), SOL_SOCKET, SO_LINGER, &abortive, sizeof(abortive));
        closeConnection();
    }

protected:
    void incomingConnection(qintptr fd) override {
        closeConnection();
        m_fd = fd;
    }

private:
    void drain() {
        char buffer[65536];
        ssize_t n = 0;
        while (m_fd >= 0 &&
               (n = recv(static_cast<int>(m_fd), buffer, sizeof(buffer), MSG_DONTWAIT)) > 0) {
            m_received.append(buffer, static_cast<int>(n));
        }
    }
    void closeConnection() {
        m_drain.stop();
        if (m_fd >= 0) {
            ::close(static_cast<int>(m_fd));
            m_fd = -1;
        }
    }

    qintptr m_fd = -1;
    QByteArray m_received;
    QTimer m_drain;
};

QByteArray payload(int size) {
    QByteArray out(size, '\0');
    for (int i = 0; i < size; ++i) {
        out[i] = static_cast<char>(i * 31 + 7);
    }
    return out;
}

// A client connected to `peer` whose kernel accepts the whole payload at once,
// so that only the peer's acknowledgements are missing.
bool connectLargeBuffer(QTcpSocket& client, SlowPeer& peer) {
    client.connectToHost(peer.serverAddress(), peer.serverPort());
    if (!client.waitForConnected(3000)) {
        return false;
    }
    client.setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 1 << 20);
    return QTest::qWaitFor([&] { return peer.connected(); }, 3000);
}

// Runs the wait in a thread of its own, as the data channel does.
class WaitingThread : public QThread {
public:
    WaitingThread(quint16 port, int timeoutMs) : m_port(port), m_timeoutMs(timeoutMs) {}
    UploadDelivery::Result result;
    bool wrote = false;

protected:
    void run() override {
        QTcpSocket socket;
        socket.connectToHost(kDrone, m_port);
        if (!socket.waitForConnected(3000)) {
            return;
        }
        socket.write(payload(4 << 20));
        wrote = true;
        result = UploadDelivery::wait(&socket, m_timeoutMs);
    }

private:
    quint16 m_port;
    int m_timeoutMs;
};

// What the drone (or the user) does once the upload is under way.
enum class Then { Read, Drop, Quit };

}  // namespace

class TestUploadDelivery : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        qputenv("NIMBRA_DEVICE_ADDRESS", kDrone.toString().toLatin1());
        QVERIFY(QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                              "/NimbraDesktop/log"));
    }

    // Bytes handed to the kernel are not delivered until the peer acknowledges
    // them; once it reads, they are, and the progress reaches the total.
    void deliveredOnlyOnceThePeerAcknowledgesEveryByte() {
        SlowPeer peer;
        QVERIFY(peer.listenOn(kDrone));
        QTcpSocket client;
        QVERIFY(connectLargeBuffer(client, peer));
        const QByteArray bytes = payload(128 * 1024);
        client.write(bytes);

        LogCapture log;
        const UploadDelivery::Result stalled = UploadDelivery::wait(&client, 400);
        QCOMPARE(stalled.outcome, UploadDelivery::Outcome::TimedOut);
        QCOMPARE(client.bytesToWrite(), qint64(0));  // all of it left Qt's buffer...
        QVERIFY(stalled.undelivered > 0);            // ...but the peer holds only part
        QCOMPARE(stalled.total, qint64(bytes.size()));
        QVERIFY(log.contains("upload failed: ") && log.contains("still not received"));

        peer.startReading();
        QList<qint64> reported;
        const UploadDelivery::Result done =
            UploadDelivery::wait(&client, 10000, [&](qint64 delivered, qint64 total) {
                QCOMPARE(total, stalled.undelivered);
                reported.append(delivered);
            });
        QCOMPARE(done.outcome, UploadDelivery::Outcome::Delivered);
        QCOMPARE(done.undelivered, qint64(0));
        QVERIFY(!reported.isEmpty());
        QCOMPARE(reported.last(), done.total);
        QVERIFY(std::is_sorted(reported.begin(), reported.end()));
        QVERIFY(log.contains(QString("the drone received all %1 bytes").arg(done.total)));
        QTRY_COMPARE(peer.received(), bytes);
    }

    // A reset empties the kernel's queue without delivering anything, also
    // before Qt has noticed it.
    void connectionResetDuringTheWaitIsNoDelivery() {
        SlowPeer peer;
        QVERIFY(peer.listenOn(kDrone));
        QTcpSocket client;
        QVERIFY(connectLargeBuffer(client, peer));
        client.write(payload(128 * 1024));
        QVERIFY(client.waitForBytesWritten(1000));
        QVERIFY(UploadDelivery::undeliveredBytes(&client) > 0);
        peer.reset();
        QThread::msleep(100);  // no event processing: the socket still looks connected
        QCOMPARE(client.state(), QAbstractSocket::ConnectedState);
        QCOMPARE(UploadDelivery::undeliveredBytes(&client), qint64(-1));

        SlowPeer second;
        QVERIFY(second.listenOn(kDrone));
        QTcpSocket other;
        QVERIFY(connectLargeBuffer(other, second));
        other.write(payload(128 * 1024));
        QTimer::singleShot(200, [&] { second.reset(); });
        LogCapture log;
        const UploadDelivery::Result r = UploadDelivery::wait(&other, 10000);
        QCOMPARE(r.outcome, UploadDelivery::Outcome::ConnectionLost);
        QVERIFY(r.elapsedMs < 9000);
        QVERIFY(log.contains("upload failed: the data connection was lost"));

        const UploadDelivery::Result never = UploadDelivery::wait(&other, 10000);
        QCOMPARE(never.outcome, UploadDelivery::Outcome::ConnectionLost);
        QCOMPARE(UploadDelivery::undeliveredBytes(nullptr), qint64(-1));
    }

    // Quitting the thread (the run is abandoned) ends the wait at once.
    void quittingTheThreadStopsTheWait() {
        SlowPeer peer;
        QVERIFY(peer.listenOn(kDrone));
        WaitingThread thread(peer.serverPort(), 30000);
        thread.start();
        QTRY_VERIFY(thread.wrote);
        QTest::qWait(100);
        thread.quit();
        QVERIFY(thread.wait(5000));
        QCOMPARE(thread.result.outcome, UploadDelivery::Outcome::Stopped);
        QVERIFY(thread.result.undelivered > 0);
    }

    // The data channel reports success only after the drone holds the whole
    // upload, failure when the connection drops before, and nothing when the
    // run is abandoned meanwhile (its pages have moved on).
    void resultComesOnlyOnceTheDroneHoldsTheUpload_data() {
        QTest::addColumn<int>("then");
        QTest::newRow("drone reads late") << int(Then::Read);
        QTest::newRow("connection lost") << int(Then::Drop);
        QTest::newRow("run abandoned") << int(Then::Quit);
    }
    void resultComesOnlyOnceTheDroneHoldsTheUpload() {
        QFETCH(int, then);
        const bool dropped = then == int(Then::Drop);
        QTemporaryDir maps;
        writeMaps(maps, 300 * 1024);
        SlowPeer drone;
        QVERIFY(drone.listenOn(kDrone, ImageDeal::kPort));
        ImageDeal* deal = BCInstanceManager::getInstance()->getImageDeal();
        QSignalSpy result(deal, &ImageDeal::result);
        QSignalSpy progress(deal, &ImageDeal::progress);
        QSignalSpy uploading(deal, &ImageDeal::uploadProgress);
        deal->startDeal();
        QTRY_VERIFY(drone.connected());

        LogCapture log;
        emit deal->sendResult(true);
        QTRY_VERIFY(uploading.count() > 0);
        QTest::qWait(300);
        QCOMPARE(result.count(), 0);  // the drone has not read the maps yet
        if (then == int(Then::Quit)) {
            deal->quitDeal();  // returns at once, not after the 60 s bound
            QTest::qWait(200);
            QCOMPARE(result.count(), 0);
            QVERIFY(log.contains("upload failed: the data channel was closed"));
            return;
        }
        if (dropped) {
            drone.reset();
        } else {
            drone.startReading();
        }
        QTRY_COMPARE_WITH_TIMEOUT(result.count(), 1, 20000);
        QCOMPARE(progress.last().at(0).toInt(), 52);
        QCOMPARE(result.at(0).at(0).toBool(), !dropped);
        if (dropped) {
            QVERIFY(log.contains("upload failed: the data connection was lost"));
            return;
        }
        const qint64 total = uploading.last().at(1).toLongLong();
        QCOMPARE(uploading.last().at(0).toLongLong(), total);
        // "right", then per map its 74-byte result and 75 chunks of 4096 + 8.
        QTRY_COMPARE(drone.received().size(), 5 + 4 * (74 + 75 * 4104));
        QVERIFY(total <= drone.received().size());
    }

    void cleanup() {
        BCInstanceManager::getInstance()->getImageDeal()->quitDeal();
        BCInstanceManager::getInstance()->getImageCapture()->quitCapture();
    }

private:
    // Four map files of `size` bytes each, named in the store.
    static void writeMaps(const QTemporaryDir& dir, int size) {
        ImageData* store = ImageData::getInstance();
        QString* paths[] = {&store->m_strFrontLeftDpuMap, &store->m_strFrontRightDpuMap,
                            &store->m_strDownLeftDpuMap, &store->m_strDownRightDpuMap};
        for (int i = 0; i < 4; ++i) {
            *paths[i] = dir.filePath(QString("map%1.dat").arg(i));
            QFile file(*paths[i]);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(payload(size)), qint64(size));
        }
    }
};

NIMBRA_CORE_TEST_MAIN(TestUploadDelivery)
#include "tst_UploadDelivery.moc"
