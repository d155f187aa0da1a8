// The upload counts as delivered only once the drone holds every byte: the
// wait for the peer's acknowledgements against a peer that reads late, reads
// nothing or resets. (The data channel's result after a reset upload is
// checked by tst_CalculationRun.)

#include "device/UploadDelivery.h"
#include "tests/support/TestMain.h"

#include <QTcpServer>
#include <QTcpSocket>
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

}  // namespace

class TestUploadDelivery : public QObject {
    Q_OBJECT

private slots:
    // Bytes handed to the kernel are not delivered until the peer acknowledges
    // them; once it reads, they are, and the progress reaches the total.
    void deliveredOnlyOnceThePeerAcknowledgesEveryByte() {
        SlowPeer peer;
        QVERIFY(peer.listenOn(kDrone));
        QTcpSocket client;
        QVERIFY(connectLargeBuffer(client, peer));
        const QByteArray bytes = payload(128 * 1024);
        client.write(bytes);

        const UploadDelivery::Result stalled = UploadDelivery::wait(&client, 400);
        QCOMPARE(stalled.outcome, UploadDelivery::Outcome::TimedOut);
        QCOMPARE(client.bytesToWrite(), qint64(0));  // all of it left Qt's buffer...
        QVERIFY(stalled.undelivered > 0);            // ...but the peer holds only part
        QCOMPARE(stalled.total, qint64(bytes.size()));

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
        const UploadDelivery::Result r = UploadDelivery::wait(&other, 10000);
        QCOMPARE(r.outcome, UploadDelivery::Outcome::ConnectionLost);
        QVERIFY(r.elapsedMs < 9000);

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
};

NIMBRA_CORE_TEST_MAIN(TestUploadDelivery)
#include "tst_UploadDelivery.moc"
