#include "tests/support/ByteList.h"
#include "device/telnet/QtTelnet.h"
#include "tests/support/ScriptedTcpPeer.h"
#include "tests/support/TestMain.h"

#include <QtTest>

namespace {

// The protocol's command and option codes, written out as the peer sends them.
enum : int { IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, GA = 249 };
enum : int { AYT = 246, DM = 242, NOP = 241, SE = 240 };
enum : int { ECHO = 1, SGA = 3, STATUS = 5, TTYPE = 24, NAWS = 31, AUTH = 37 };

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

}  // namespace

// The client's whole answer to `input` (sent on `session`) is `expected`.
#define COMPARE_ANSWER(session, input, expected) \
    QCOMPARE((session).exchange((input), (expected)), QByteArray(expected) + kSentinelReply)

class TestQtTelnet : public QObject {
    Q_OBJECT

private slots:
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
};

NIMBRA_CORE_TEST_MAIN(TestQtTelnet)
#include "tst_QtTelnet.moc"
