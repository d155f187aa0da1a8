#include "device/DeviceMonitor.h"
#include "tests/support/TestMain.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {
const QHostAddress kDrone(QStringLiteral("127.0.0.11"));
}

// The heartbeat against a scripted drone on its own loopback address.
class TestDeviceMonitor : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("NIMBRA_DEVICE_ADDRESS", kDrone.toString().toLatin1()); }

    void chattyDeviceGivesExactlyOneStateChange() {
        QTcpServer server;
        QVERIFY2(server.listen(kDrone, DeviceMonitor::kPort), qPrintable(server.errorString()));
        QByteArray received;
        QTimer beat;
        QList<QTcpSocket*> peers;
        connect(&server, &QTcpServer::newConnection, [&] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                peers << s;
                connect(s, &QTcpSocket::readyRead, [&received, s] { received += s->readAll(); });
            }
        });
        connect(&beat, &QTimer::timeout, [&] {
            for (QTcpSocket* s : peers)
                s->write("hb");
        });
        beat.start(100);  // well inside the 1 s tick even on a busy machine

        DeviceMonitor monitor;
        QSignalSpy spy(&monitor, &DeviceMonitor::stateChanged);
        monitor.start();
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 5000);
        QCOMPARE(spy.at(0).at(0).toBool(), true);
        QTest::qWait(3000);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(peers.size(), 1);  // never reconnected
        // "ok" right after connecting and after every tick with data.
        QVERIFY2(received.startsWith("okok"), received.constData());
        QVERIFY(received.count("ok") >= 4);
        monitor.quit();
        QVERIFY(monitor.wait(5000));
    }

    void silenceReportsLossAndReconnects() {
        QTcpServer server;
        QVERIFY(server.listen(kDrone, DeviceMonitor::kPort));
        int connections = 0;
        connect(&server, &QTcpServer::newConnection, [&] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                if (++connections == 1)
                    s->write("only once");
            }
        });
        DeviceMonitor monitor;
        QSignalSpy spy(&monitor, &DeviceMonitor::stateChanged);
        monitor.start();
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, 6000);
        QCOMPARE(spy.at(0).at(0).toBool(), true);
        QCOMPARE(spy.at(1).at(0).toBool(), false);
        QTRY_VERIFY_WITH_TIMEOUT(connections >= 2, 5000);
        monitor.quit();
        QVERIFY(monitor.wait(8000));
    }
};

NIMBRA_CORE_TEST_MAIN(TestDeviceMonitor)
#include "tst_DeviceMonitor.moc"
