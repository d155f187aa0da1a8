// The simulator as the desktop meets it: a child process on its own loopback
// address, talked to over real sockets.
#include "ByteList.h"
#include "DroneSimProcess.h"
#include "TestMain.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

const QString kAddress = QStringLiteral("127.0.0.61");
const QString kSilentAddress = QStringLiteral("127.0.0.62");
const QString kHttpFaultAddress = QStringLiteral("127.0.0.63");

constexpr char IAC = char(255);
constexpr char DONT = char(254);
constexpr char DO = char(253);
constexpr char WONT = char(252);
constexpr char WILL = char(251);
constexpr char SB = char(250);
constexpr char SE = char(240);

QByteArray command(char verb, int option) {
    return bytes({IAC, verb, option});
}

// Reads from `socket` until `needle` has arrived (true) or timeoutMs passed.
bool readUntil(QTcpSocket& socket, QByteArray* received, const QByteArray& needle, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!received->contains(needle)) {
        if (clock.elapsed() > timeoutMs || socket.state() != QAbstractSocket::ConnectedState) {
            *received += socket.readAll();
            return received->contains(needle);
        }
        socket.waitForReadyRead(50);
        *received += socket.readAll();
    }
    return true;
}

QByteArray readFor(QTcpSocket& socket, int ms) {
    QByteArray data;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        socket.waitForReadyRead(20);
        data += socket.readAll();
    }
    return data;
}

struct HttpAnswer {
    int status = 0;
    QByteArray body;
    QString error;
};

HttpAnswer httpGet(const QString& url) {
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    QNetworkReply* reply = manager.get(QNetworkRequest(QUrl(url)));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    HttpAnswer answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.body = reply->readAll();
    if (reply->error() != QNetworkReply::NoError) {
        answer.error = reply->errorString();
    }
    delete reply;
    return answer;
}

}  // namespace

class tst_DroneSimServices : public QObject {
    Q_OBJECT

private:
    DroneSimProcess m_sim{QStringLiteral(DRONESIM_PATH)};
    DroneSimProcess m_httpFaults{QStringLiteral(DRONESIM_PATH)};

private slots:
    void initTestCase() {
        QVERIFY2(m_sim.start(kAddress, {"--version-string", "v9.8.7", "--reboot-seconds", "1"}),
                 qPrintable(m_sim.output() + m_sim.errorOutput()));
        QVERIFY2(m_httpFaults.start(kHttpFaultAddress,
                                    {"--fault-http-status", "500", "--fault-http-body", "Failure"}),
                 qPrintable(m_httpFaults.output() + m_httpFaults.errorOutput()));
        QVERIFY(m_httpFaults.output().contains("armed fault: HTTP status 500"));
    }

    void heartbeatTalksAtLeastOnceASecond() {
        QTcpSocket socket;
        socket.connectToHost(kAddress, 10001);
        QVERIFY(socket.waitForConnected(2000));
        QElapsedTimer clock;
        clock.start();
        QVector<qint64> arrivals;
        while (clock.elapsed() < 2600) {
            if (socket.waitForReadyRead(50) && !socket.readAll().isEmpty()) {
                arrivals.append(clock.elapsed());
                socket.write("ok");
            }
        }
        QVERIFY2(arrivals.size() >= 3, qPrintable(QString::number(arrivals.size())));
        QVERIFY(arrivals.first() < 1000);
        for (int i = 1; i < arrivals.size(); ++i) {
            QVERIFY2(arrivals[i] - arrivals[i - 1] < 1000,
                     qPrintable(QStringLiteral("gap of %1 ms").arg(arrivals[i] - arrivals[i - 1])));
        }
        QVERIFY(m_sim.waitForOutput("[heartbeat] first \"ok\" received", 2000));
    }

    void heartbeatFallsSilentOnFault() {
        DroneSimProcess silent{QStringLiteral(DRONESIM_PATH)};
        QVERIFY2(silent.start(kSilentAddress, {"--fault-heartbeat-silent-after", "2"}),
                 qPrintable(silent.output()));
        QTcpSocket socket;
        socket.connectToHost(kSilentAddress, 10001);
        QVERIFY(socket.waitForConnected(2000));
        QVERIFY(socket.waitForReadyRead(1000));
        socket.readAll();

        QVERIFY(silent.waitForOutput("[heartbeat] FAULT heartbeat silent", 4000));
        readFor(socket, 100);  // a beat already in flight
        QCOMPARE(readFor(socket, 1500), QByteArray());

        // A fresh connection is still accepted but hears nothing either.
        QTcpSocket late;
        late.connectToHost(kSilentAddress, 10001);
        QVERIFY(late.waitForConnected(2000));
        QCOMPARE(readFor(late, 1200), QByteArray());
        QCOMPARE(silent.terminate(), 0);
    }

    void httpSwitch_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("switch") << kAddress << "/nimbra-ap03/switch=demarcate_mode" << 200
                                << QByteArray("Success");
        QTest::newRow("other path")
            << kAddress << "/nimbra-ap03/switch=flight_mode" << 404 << QByteArray("Not Found");
        QTest::newRow("prefix of the path")
            << kAddress << "/nimbra-ap03/switch" << 404 << QByteArray("Not Found");
        QTest::newRow("fault") << kHttpFaultAddress << "/nimbra-ap03/switch=demarcate_mode" << 500
                               << QByteArray("Failure");
    }

    void httpSwitch() {
        QFETCH(QString, address);
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        const HttpAnswer answer = httpGet("http://" + address + path);
        QCOMPARE(answer.status, status);
        QCOMPARE(answer.body, body);
    }

    void httpSwitchEffects() {
        // After httpSwitch: the healthy drone entered calibration mode, the
        // faulty one logged each injected answer and stayed out of it.
        QVERIFY(m_sim.waitForOutput("[drone] calibration mode on", 1000));
        QVERIFY(
            m_httpFaults.waitForOutput("[http] FAULT answering status 500 instead of 200", 1000));
        QVERIFY(m_httpFaults.output().contains("[http] FAULT answering body \"Failure\""));
        QVERIFY(!m_httpFaults.output().contains("calibration mode on"));
    }

    void httpRejectsMalformedRequests() {
        QTcpSocket socket;
        socket.connectToHost(kAddress, 80);
        QVERIFY(socket.waitForConnected(2000));
        socket.write("NONSENSE\r\n\r\n");
        QByteArray received;
        QVERIFY(readUntil(socket, &received, "\r\n\r\n", 2000));
        QVERIFY2(received.startsWith("HTTP/1.1 400 "), received.constData());

        QTcpSocket flood;
        flood.connectToHost(kAddress, 80);
        QVERIFY(flood.waitForConnected(2000));
        flood.write("GET /" + QByteArray(20000, 'a'));
        received.clear();
        QVERIFY(readUntil(flood, &received, "\r\n\r\n", 2000));
        QVERIFY2(received.startsWith("HTTP/1.1 400 "), received.constData());
    }

    // The desktop's console client, byte for byte: its option requests, its
    // answers, the login, the version query and the reboot.
    void consoleDialogue() {
        QTcpSocket socket;
        socket.connectToHost(kAddress, 23);
        QVERIFY(socket.waitForConnected(2000));
        QByteArray received;
        QVERIFY(readUntil(socket, &received, command(WILL, 3), 2000));
        QVERIFY(received.contains(command(DO, 24)));   // terminal type
        QVERIFY(received.contains(command(WILL, 1)));  // echo
        QVERIFY(!received.contains("login"));          // no text before negotiation settles

        socket.write(command(WILL, 37) + command(DO, 3) + command(WILL, 34) + command(DO, 5));
        QVERIFY(readUntil(socket, &received, command(WONT, 5), 2000));
        QVERIFY(received.contains(command(DONT, 37)));  // authentication refused
        QVERIFY(received.contains(command(DONT, 34)));  // line mode refused
        // DO SUPPRESS-GO-AHEAD answered the server's own WILL: no second WILL.
        QCOMPARE(received.count(command(WILL, 3)), 1);

        socket.write(command(WILL, 24) + command(DONT, 1));
        QVERIFY(readUntil(socket, &received, bytes({IAC, SB, 24, 1, IAC, SE}), 2000));
        socket.write(bytes({IAC, SB, 24, 0}) + "UNKNOWN" + bytes({IAC, SE}));

        QVERIFY(readUntil(socket, &received, "login: ", 3000));
        const int textStart = received.indexOf("login: ");
        received = received.mid(textStart);
        socket.write("root\r\n");
        QVERIFY(readUntil(socket, &received, "Password: ", 2000));
        QVERIFY(!received.contains("root"));  // echo was declined
        socket.write("\r\n");
        QVERIFY(readUntil(socket, &received, "Welcome to HiLinux", 2000));
        socket.write("cat /etc/master-version\r\n");
        QVERIFY(readUntil(socket, &received, "v9.8.7", 2000));
        const int at = received.indexOf("v9.8.7");
        const int lineStart = received.lastIndexOf('\n', at) + 1;
        const QByteArray versionLine =
            received.mid(lineStart, received.indexOf('\r', at) - lineStart);
        QVERIFY2(versionLine.contains('='), versionLine.constData());
        // Once text flows, no option command may follow it.
        QVERIFY(!received.contains(IAC));

        socket.write("reboot\r\n");
        QVERIFY(readUntil(socket, &received, "going down", 2000));
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, 3000);
        QVERIFY(m_sim.waitForOutput("[console] reboot requested", 2000));
        QVERIFY(m_sim.output().contains("[console] terminal type UNKNOWN"));
        QVERIFY(received.contains("going down"));
        QVERIFY(m_sim.waitForOutput("[drone] gone", 1000));

        // A rebooting drone has no services: its ports refuse connections.
        for (quint16 port : {10001, 80, 23}) {
            QTcpSocket refused;
            refused.connectToHost(kAddress, port);
            QVERIFY(!refused.waitForConnected(1000));
            QCOMPARE(refused.error(), QAbstractSocket::ConnectionRefusedError);
        }
        QVERIFY(m_sim.waitForOutput("[drone] present", 3000));  // back after --reboot-seconds 1
        QTcpSocket heartbeat;
        heartbeat.connectToHost(kAddress, 10001);
        QVERIFY(heartbeat.waitForConnected(1000));
        QVERIFY(heartbeat.waitForReadyRead(1000));
    }

    void consoleRefusesOtherLogins() {
        QTcpSocket socket;
        socket.connectToHost(kAddress, 23);
        QVERIFY(socket.waitForConnected(2000));
        QByteArray received;
        QVERIFY(readUntil(socket, &received, "login: ", 3000));
        socket.write("admin\r\n");
        QVERIFY(readUntil(socket, &received, "Password: ", 2000));
        socket.write("secret\r\n");
        QVERIFY(readUntil(socket, &received, "Login incorrect", 2000));
        received = received.mid(received.indexOf("Login incorrect"));
        QVERIFY(readUntil(socket, &received, "login: ", 2000));
        QVERIFY(!received.contains("Welcome"));
        QVERIFY(m_sim.waitForOutput("[console] login refused for \"admin\"", 1000));
    }

    void stopsCleanlyAndFreesItsPorts() {
        QCOMPARE(m_sim.terminate(), 0);
        const QString out = m_sim.output();
        for (const char* line :
             {"[rtsp] stopped", "[console] stopped", "[http] stopped", "[heartbeat] stopped"}) {
            QVERIFY2(out.contains(QLatin1String(line)), line);
        }
        for (quint16 port : {10001, 80, 23, 554}) {
            QTcpServer server;
            QVERIFY2(server.listen(QHostAddress(kAddress), port), qPrintable(server.errorString()));
        }
    }
};

NIMBRA_CORE_TEST_MAIN(tst_DroneSimServices)
#include "tst_DroneSimServices.moc"
