#include "tests/support/ByteList.h"
#include "device/telnet/QtTelnet.h"
#include "tests/support/ScriptedTcpPeer.h"
#include "tests/support/TestMain.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

Q_DECLARE_METATYPE(QtTelnet::Control)

namespace {

enum : int {
    IAC = 255,
    DONT = 254,
    DO = 253,
    WONT = 252,
    WILL = 251,
    SB = 250,
    GA = 249,
    AYT = 246,
    DM = 242,
    NOP = 241,
    SE = 240,
    ECHO = 1,
    SGA = 3,
    STATUS = 5,
    LOGOUT = 18,
    TTYPE = 24,
    NAWS = 31,
    AUTH = 37,
};

const QByteArray kOptionRequests =
    bytes({IAC, WILL, AUTH, IAC, DO, SGA, IAC, WILL, 34, IAC, DO, STATUS});

// A request the client answers every time (negotiation answers are not
// repeated): its answer marks the point where everything sent before it
// has been processed. Every exchange thereby also checks the terminal type
// answer.
const QByteArray kSentinel = bytes({IAC, SB, TTYPE, 1, IAC, SE});
const QByteArray kSentinelReply = bytes({IAC, SB, TTYPE, 0}) + "UNKNOWN" + bytes({IAC, SE});

// A peer and a client connected to it, past the client's option requests.
struct Session {
    ScriptedTcpPeer peer;
    QtTelnet client;
    QStringList messages;

    Session() {
        QObject::connect(&client, &QtTelnet::message, [this](const QString& m) { messages << m; });
    }

    bool open() {
        if (!peer.listen()) {
            return false;
        }
        client.connectToHost(QStringLiteral("127.0.0.1"), peer.port());
        if (!peer.waitForReceived(kOptionRequests)) {
            return false;
        }
        peer.clearReceived();
        return true;
    }

    // Sends `input` and then the sentinel; returns everything the client
    // answered, once as many bytes as `expected` and the sentinel's answer
    // have arrived (or the time is up).
    QByteArray exchange(const QByteArray& input, const QByteArray& expected) {
        peer.send(input + kSentinel);
        peer.waitForReceivedSize(expected.size() + kSentinelReply.size());
        const QByteArray answer = peer.received();
        peer.clearReceived();
        return answer;
    }
};

// A peer on a bare POSIX socket. Qt's own sockets receive TCP urgent data
// inline, so only here can a test tell an urgent byte from the stream.
class RawPeer {
public:
    RawPeer() {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_listener >= 0 &&
            ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(m_listener, 1) == 0 &&
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            m_port = ntohs(address.sin_port);
        }
    }
    ~RawPeer() {
        if (m_connection >= 0) {
            ::close(m_connection);
        }
        if (m_listener >= 0) {
            ::close(m_listener);
        }
    }

    quint16 port() const { return m_port; }

    bool accept() {
        return QTest::qWaitFor([this] {
            m_connection = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK);
            return m_connection >= 0;
        });
    }

    // The normal stream, once at least `size` bytes have come.
    QByteArray read(int size) {
        (void)QTest::qWaitFor([&] {
            char chunk[256];
            const ssize_t n = ::recv(m_connection, chunk, sizeof chunk, MSG_DONTWAIT);
            if (n > 0) {
                m_stream.append(chunk, int(n));
            }
            return m_stream.size() >= size;
        });
        const QByteArray out = m_stream;
        m_stream.clear();
        return out;
    }

    // One byte of urgent data, or -1 if none came in time.
    int urgentByte(int timeoutMs) {
        unsigned char byte = 0;
        const bool arrived = QTest::qWaitFor(
            [&] { return ::recv(m_connection, &byte, 1, MSG_OOB | MSG_DONTWAIT) == 1; }, timeoutMs);
        return arrived ? byte : -1;
    }

private:
    int m_listener = -1;
    int m_connection = -1;
    quint16 m_port = 0;
    QByteArray m_stream;
};

}  // namespace

// The client's whole answer to `input` (sent on `session`) is `expected`.
#define COMPARE_ANSWER(session, input, expected) \
    QCOMPARE((session).exchange((input), (expected)), QByteArray(expected) + kSentinelReply)

class TestQtTelnet : public QObject {
    Q_OBJECT

private slots:
    void connectingSendsTheOptionRequestsOnce() {
        Session s;
        QVERIFY(s.peer.listen());
        s.client.connectToHost(QStringLiteral("127.0.0.1"), s.peer.port());
        QVERIFY(s.peer.waitForReceivedSize(kOptionRequests.size()));
        s.client.connectToHost(QStringLiteral("127.0.0.1"), s.peer.port());
        COMPARE_ANSWER(s, QByteArray(), kOptionRequests);
        QCOMPARE(s.peer.connectionCount(), 1);
    }

    void negotiation_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("answer");

        QTest::newRow("DO answering our WILL gets no second WILL")
            << bytes({IAC, DO, AUTH}) << QByteArray();
        QTest::newRow("WILL answering our DO is not answered")
            << bytes({IAC, WILL, SGA}) << QByteArray();
        QTest::newRow("DO of an enabled option gets no reply")
            << bytes({IAC, DO, TTYPE, IAC, DO, TTYPE}) << bytes({IAC, WILL, TTYPE});
        QTest::newRow("DONT of an option never enabled gets no reply")
            << bytes({IAC, DONT, TTYPE, IAC, DONT, AUTH}) << QByteArray();
        QTest::newRow("DONT after DO") << bytes({IAC, DO, STATUS, IAC, DONT, STATUS})
                                       << bytes({IAC, WILL, STATUS, IAC, WONT, STATUS});
        QTest::newRow("WILL of an unsupported option")
            << bytes({IAC, WILL, ECHO}) << bytes({IAC, DONT, ECHO});
        QTest::newRow("WONT") << bytes({IAC, WONT, ECHO}) << bytes({IAC, DONT, ECHO});
        QTest::newRow("DO of an unsupported option")
            << bytes({IAC, DO, ECHO}) << bytes({IAC, WONT, ECHO});
        QTest::newRow("DO NAWS without a size: WONT, yet marked enabled")
            << bytes({IAC, DO, NAWS, IAC, DO, NAWS}) << bytes({IAC, WONT, NAWS});
        QTest::newRow("two-byte commands are skipped")
            << bytes({IAC, NOP, IAC, GA, IAC, AYT, IAC, DM, IAC, SE, IAC, 17}) << QByteArray();
        QTest::newRow("empty sub-negotiation is skipped")
            << bytes({IAC, SB, IAC, SE}) << QByteArray();
        QTest::newRow("NAWS sub-negotiation is ignored")
            << bytes({IAC, SB, NAWS, 0, 80, 0, 24, IAC, SE}) << QByteArray();
        QTest::newRow("terminal type IS from the peer is ignored")
            << bytes({IAC, SB, TTYPE, 0, 'x', IAC, SE}) << QByteArray();
        QTest::newRow("escaped IAC inside a sub-negotiation does not end it")
            << bytes({IAC, SB, TTYPE, 1, IAC, IAC, IAC, SE})
            << bytes({IAC, SB, TTYPE, 0}) + "UNKNOWN" + bytes({IAC, SE});
        QTest::newRow("NULL authentication")
            << bytes({IAC, SB, AUTH, 1, 0, 0, IAC, SE}) << bytes({IAC, SB, AUTH, 0, 0, 0, IAC, SE});
        QTest::newRow("unknown authentication types fall back to NULL")
            << bytes({IAC, SB, AUTH, 1, 5, 2, 6, 0, 7, IAC, SE})
            << bytes({IAC, SB, AUTH, 0, 0, 0, IAC, SE});
        QTest::newRow("authentication without SEND")
            << bytes({IAC, SB, AUTH, 2, IAC, SE}) << QByteArray();
    }

    void negotiation() {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, answer);
        Session s;
        QVERIFY(s.open());
        COMPARE_ANSWER(s, input, answer);
        QVERIFY(s.messages.isEmpty());
    }

    void sequencesSplitAcrossReads() {
        Session s;
        QVERIFY(s.open());
        const QByteArray input =
            bytes({IAC, DO, TTYPE, IAC, SB, TTYPE, 1, IAC, SE, 'o', 'k', IAC, SB, 99, IAC, SE});
        QTest::ignoreMessage(QtWarningMsg, "QtTelnetPrivate::parseIAC: unknown suboption 99");
        for (char byte : input) {
            s.peer.send(QByteArray(1, byte));
            QTest::qWait(10);
        }
        COMPARE_ANSWER(s, QByteArray(),
                       bytes({IAC, WILL, TTYPE, IAC, SB, TTYPE, 0}) + "UNKNOWN" + bytes({IAC, SE}));
        QCOMPARE(s.messages.join(QString()), QStringLiteral("ok"));
    }

    void textSegments_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QByteArray>("answer");

        QTest::newRow("a zero byte splits the text and is dropped")
            << QByteArray("abc\0def", 7) << QStringList{"abc", "def"} << QByteArray();
        QTest::newRow("commands inside text are honoured")
            << QByteArray("abc") + bytes({IAC, DO, TTYPE}) + "def" << QStringList{"abc", "def"}
            << bytes({IAC, WILL, TTYPE});
        QTest::newRow("a doubled IAC is one 255 byte of text")
            << QByteArray("a") + bytes({IAC, IAC}) + "b"
            << QStringList{QString::fromLocal8Bit(QByteArray("a\xff"
                                                             "b"))}
            << QByteArray();
        QTest::newRow("a bare DM between texts is skipped")
            << QByteArray("x\0", 2) + bytes({DM}) + "y" << QStringList{"x", "y"} << QByteArray();
        QTest::newRow("unknown sub-negotiation between texts")
            << QByteArray("1") + bytes({IAC, SB, 99, 1, IAC, SE}) + "2" << QStringList{"1", "2"}
            << QByteArray();
    }

    void textSegments() {
        QFETCH(QByteArray, input);
        QFETCH(QStringList, texts);
        QFETCH(QByteArray, answer);
        Session s;
        QVERIFY(s.open());
        if (input.contains(char(SB))) {
            QTest::ignoreMessage(QtWarningMsg, "QtTelnetPrivate::parseIAC: unknown suboption 99");
        }
        COMPARE_ANSWER(s, input, answer);
        QCOMPARE(s.messages, texts);
    }

    void loginPrompts_data() {
        QTest::addColumn<QByteArray>("settle");
        QTest::addColumn<QByteArray>("settleAnswer");
        QTest::newRow("peer refuses authentication") << bytes({IAC, DONT, AUTH}) << QByteArray();
        QTest::newRow("NULL authentication")
            << bytes({IAC, SB, AUTH, 1, 0, 0, IAC, SE}) << bytes({IAC, SB, AUTH, 0, 0, 0, IAC, SE});
    }

    void loginPrompts() {
        QFETCH(QByteArray, settle);
        QFETCH(QByteArray, settleAnswer);
        Session s;
        QStringList events;
        connect(&s.client, &QtTelnet::message, [&](const QString& m) { events << "message:" + m; });
        connect(&s.client, &QtTelnet::loginRequired, [&] { events << "loginRequired"; });
        connect(&s.client, &QtTelnet::loggedIn, [&] { events << "loggedIn"; });
        s.client.login(QStringLiteral("admin\r\n"), QStringLiteral("secret\r\n"));
        s.client.setPromptPattern(QRegExp(QStringLiteral("# $")));
        QVERIFY(s.open());
        COMPARE_ANSWER(s, settle, settleAnswer);
        QVERIFY(events.isEmpty());

        COMPARE_ANSWER(s, "\r\n(none) login: ", "admin\r\n");
        QCOMPARE(events, (QStringList{"message:\r\n(none) login: ", "loginRequired"}));
        events.clear();

        COMPARE_ANSWER(s, "Password: ", "secret\r\n");
        QCOMPARE(events, (QStringList{"message:Password: "}));
        events.clear();

        // Repeated prompts are passed on but not answered again: the name was
        // sent and the password is gone.
        COMPARE_ANSWER(s, QByteArray("login:\0Password:\t", 17), QByteArray());
        QCOMPARE(events, (QStringList{"message:login:", "loginRequired", "message:Password:\t",
                                      "loginRequired"}));
        events.clear();

        COMPARE_ANSWER(s, "Welcome\r\n# ", QByteArray());
        QCOMPARE(events, (QStringList{"loggedIn", "message:Welcome\r\n# "}));
        events.clear();
        COMPARE_ANSWER(s, "login: ", QByteArray());
        QCOMPARE(events, (QStringList{"message:login: "}));
    }

    void promptsBeforePlainLoginAreOnlyPassedOn() {
        Session s;
        QSignalSpy required(&s.client, &QtTelnet::loginRequired);
        s.client.login(QStringLiteral("admin"), QStringLiteral("secret"));
        QVERIFY(s.open());
        COMPARE_ANSWER(s, QByteArray("login: \0Password: ", 18), QByteArray());
        QCOMPARE(s.messages, (QStringList{"login: ", "Password: "}));
        QCOMPARE(required.count(), 0);

        // An empty login name sends nothing once plain login is settled.
        Session empty;
        QVERIFY(empty.open());
        COMPARE_ANSWER(empty, bytes({IAC, DONT, AUTH}) + "login: ", QByteArray());
        QCOMPARE(empty.messages, (QStringList{"login: "}));
    }

    void windowSize() {
        {
            Session s;
            QVERIFY(s.open());
            s.client.setWindowSize(80, 24);
            QVERIFY(!s.client.isValidWindowSize());
            QCOMPARE(s.client.windowSize(), QSize(-1, -1));

            // Asked for the size once a size is known, the client agrees and
            // sends it.
            COMPARE_ANSWER(s, bytes({IAC, DO, NAWS}),
                           bytes({IAC, WILL, NAWS, IAC, SB, NAWS, 0, 80, 0, 24, IAC, SE}));
            QVERIFY(s.client.isValidWindowSize());
            QCOMPARE(s.client.windowSize(), QSize(80, 24));

            // A 255 byte inside the numbers is doubled.
            s.client.setWindowSize(QSize(255, 300));
            COMPARE_ANSWER(s, QByteArray(), bytes({IAC, SB, NAWS, 0, IAC, IAC, 1, 44, IAC, SE}));

            s.client.setWindowSize(-1, 24);
            COMPARE_ANSWER(s, QByteArray(), bytes({IAC, WONT, NAWS}));
            QVERIFY(!s.client.isValidWindowSize());
        }
        {
            // Enabled while unset, the size is offered as soon as it is set.
            Session s;
            QVERIFY(s.open());
            COMPARE_ANSWER(s, bytes({IAC, DO, NAWS}), bytes({IAC, WONT, NAWS}));
            s.client.setWindowSize(132, 43);
            COMPARE_ANSWER(s, QByteArray(), bytes({IAC, WILL, NAWS}));
            QCOMPARE(s.client.windowSize(), QSize(132, 43));
        }
    }

    void controls_data() {
        QTest::addColumn<QtTelnet::Control>("control");
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("urgent");
        QTest::newRow("GA") << QtTelnet::GoAhead << 249 << false;
        QTest::newRow("IP") << QtTelnet::InterruptProcess << 244 << true;
        QTest::newRow("AYT") << QtTelnet::AreYouThere << 246 << true;
        QTest::newRow("AO") << QtTelnet::AbortOutput << 245 << true;
        QTest::newRow("EC") << QtTelnet::EraseCharacter << 247 << false;
        QTest::newRow("EL") << QtTelnet::EraseLine << 248 << false;
        QTest::newRow("BRK") << QtTelnet::Break << 243 << false;
        QTest::newRow("EOF") << QtTelnet::EndOfFile << 236 << false;
        QTest::newRow("SUSP") << QtTelnet::Suspend << 237 << false;
        QTest::newRow("ABORT") << QtTelnet::Abort << 238 << false;
    }

    void controls() {
        QFETCH(QtTelnet::Control, control);
        QFETCH(int, command);
        QFETCH(bool, urgent);
        RawPeer peer;
        QtTelnet client;
        client.connectToHost(QStringLiteral("127.0.0.1"), peer.port());
        QVERIFY(peer.accept());
        QCOMPARE(peer.read(kOptionRequests.size()), kOptionRequests);
        client.sendControl(control);
        client.sendControl(static_cast<QtTelnet::Control>(10));
        QCOMPARE(peer.read(2), bytes({IAC, command}));
        QCOMPARE(peer.urgentByte(urgent ? 5000 : 200), urgent ? DM : -1);
    }

    void syncSendsOnlyTheUrgentMark() {
        RawPeer peer;
        QtTelnet client;
        client.sendSync();  // not connected: dropped
        client.connectToHost(QStringLiteral("127.0.0.1"), peer.port());
        QVERIFY(peer.accept());
        QCOMPARE(peer.read(kOptionRequests.size()), kOptionRequests);
        client.sendSync();
        QCOMPARE(peer.urgentByte(5000), DM);
        client.sendData(QStringLiteral("x"));
        QCOMPARE(peer.read(1), QByteArray("x"));
    }

    void peerLogoutClosesTheConnection() {
        Session s;
        QSignalSpy loggedOut(&s.client, &QtTelnet::loggedOut);
        QVERIFY(s.open());
        s.client.logout();
        COMPARE_ANSWER(s, QByteArray(), bytes({IAC, DO, LOGOUT}));
        s.peer.send(bytes({IAC, WONT, LOGOUT}));
        QVERIFY(s.peer.waitForDisconnection());
        QCOMPARE(loggedOut.count(), 1);
        s.client.sendData(QStringLiteral("dropped"));
        s.client.close();
        QTest::qWait(50);
        QCOMPARE(loggedOut.count(), 1);
        QVERIFY(s.peer.received().isEmpty());
    }

    void endOfConnectionIsReportedOnce() {
        {
            Session s;
            QSignalSpy loggedOut(&s.client, &QtTelnet::loggedOut);
            QSignalSpy errors(&s.client, &QtTelnet::connectionError);
            QVERIFY(s.open());
            s.peer.closeConnection();
            QTRY_COMPARE(loggedOut.count(), 1);
            QTRY_COMPARE(errors.count(), 1);
            QCOMPARE(errors.at(0).at(0).value<QAbstractSocket::SocketError>(),
                     QAbstractSocket::RemoteHostClosedError);
            QTest::qWait(50);
            QCOMPARE(loggedOut.count(), 1);
        }
        {
            Session s;
            QSignalSpy loggedOut(&s.client, &QtTelnet::loggedOut);
            QVERIFY(s.open());
            s.client.close();
            QCOMPARE(loggedOut.count(), 1);
            QVERIFY(s.peer.waitForDisconnection());
            s.client.close();
            QTest::qWait(50);
            QCOMPARE(loggedOut.count(), 1);
        }
    }

    void unterminatedSubNegotiationIsDropped() {
        Session s;
        QTest::ignoreMessage(QtDebugMsg,
                             QRegularExpression("dropping \\d+ bytes of an unterminated command"));
        QVERIFY(s.open());
        s.peer.send(bytes({IAC, SB, TTYPE}) + QByteArray(5000, 'x'));
        QTest::qWait(50);
        COMPARE_ANSWER(s, QByteArray("\0", 1) + bytes({IAC, DO, TTYPE}), bytes({IAC, WILL, TTYPE}));
    }

    void reconnectingStartsTheNegotiationAfresh() {
        Session s;
        QVERIFY(s.open());
        // Leave an unanswered request and a half-read sub-negotiation behind.
        s.peer.send(bytes({IAC, DO, TTYPE, IAC, SB, TTYPE}));
        QVERIFY(s.peer.waitForReceived(bytes({IAC, WILL, TTYPE})));
        s.client.close();
        QVERIFY(s.peer.waitForDisconnection());

        ScriptedTcpPeer second;
        QVERIFY(second.listen());
        s.client.connectToHost(QStringLiteral("127.0.0.1"), second.port());
        QVERIFY(second.waitForReceivedSize(kOptionRequests.size()));
        second.send(QByteArray("hello") + bytes({IAC, DO, TTYPE}) + kSentinel);
        QVERIFY(second.waitForReceived(kSentinelReply));
        QCOMPARE(second.received(), kOptionRequests + bytes({IAC, WILL, TTYPE}) + kSentinelReply);
        QCOMPARE(s.messages.last(), QStringLiteral("hello"));
    }

    void replacingTheSocket() {
        Session s;
        QVERIFY(s.open());
        ScriptedTcpPeer second;
        QVERIFY(second.listen());
        auto* socket = new QTcpSocket;
        socket->connectToHost(QHostAddress::LocalHost, second.port());
        QVERIFY(socket->waitForConnected(5000));

        s.client.setSocket(socket);
        QCOMPARE(s.client.socket(), socket);
        QVERIFY(s.peer.waitForReceived(bytes({IAC, DO, LOGOUT})));
        QVERIFY(s.peer.waitForDisconnection());
        QVERIFY(second.waitForReceived(kOptionRequests));
        second.send(QByteArray("on the new socket"));
        QTRY_COMPARE(s.messages.value(0), QStringLiteral("on the new socket"));
    }
};

NIMBRA_CORE_TEST_MAIN(TestQtTelnet)
#include "tst_QtTelnet.moc"
