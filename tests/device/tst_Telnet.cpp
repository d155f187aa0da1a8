#include "tests/support/ScriptedTcpPeer.h"
#include "device/telnet/Telnet.h"
#include "tests/support/TestMain.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// The console gets an address of its own, so that port 23 there is ours.
const char kConsoleAddress[] = "127.0.0.23";
const quint16 kConsolePort = 23;

bool listenAsConsole(ScriptedTcpPeer& peer) {
    return peer.listen(QHostAddress(QString::fromLatin1(kConsoleAddress)), kConsolePort);
}

}  // namespace

class TestTelnet : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("NIMBRA_DEVICE_ADDRESS", kConsoleAddress); }

    void markers_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("versions");

        QTest::newRow("login wins over =")
            << QByteArray("login=v1.2.3") << QByteArray("root\r\n") << QStringList();
        QTest::newRow("= without a version")
            << QByteArray("a=b") << QByteArray() << QStringList{QString()};
        QTest::newRow("first version token, lower case")
            << QByteArray("x v1 V2.3 ver=v10.20.30 V4.5.6") << QByteArray()
            << QStringList{QStringLiteral("v10.20.30")};
        QTest::newRow("upper case V") << QByteArray("VERSION=V3.3.9-rc1") << QByteArray()
                                      << QStringList{QStringLiteral("V3.3.9")};
        QTest::newRow("markers are case-sensitive")
            << QByteArray("LOGIN password welcome to hilinux") << QByteArray() << QStringList();
        QTest::newRow("repeated prompts are answered again")
            << QByteArray("login: \0login: \0Welcome to HiLinux\0Welcome to HiLinux", 53)
            << QByteArray("root\r\nroot\r\ncat /etc/master-version\r\ncat /etc/master-version\r\n")
            << QStringList();
    }

    void markers() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, versions);
        ScriptedTcpPeer console;
        QVERIFY2(listenAsConsole(console), "binding 127.0.0.23:23 needs root");
        Telnet telnet;
        QStringList reported;
        connect(&telnet, &Telnet::version, [&](const QString& v) { reported << v; });
        telnet.connectToHost();
        QVERIFY(console.waitForReceivedSize(12));
        console.clearReceived();

        // A password prompt after the text (as a separate text) marks the point
        // where the text has been answered.
        console.send(text + QByteArray("\0Password:", 10));
        QVERIFY(console.waitForReceived(reply + "\r\n"));
        QTest::qWait(20);
        QCOMPARE(console.received(), reply + "\r\n");
        QCOMPARE(reported, versions);
    }
};

NIMBRA_CORE_TEST_MAIN(TestTelnet)
#include "tst_Telnet.moc"
