#include "tools/dronesim/TelnetServerSession.h"

#include "device/telnet/TelnetCodes.h"

#include <QTcpSocket>
#include <QTimer>

namespace {

using namespace TelnetCodes;

constexpr unsigned char OPT_ECHO = ECHO_OPTION;
constexpr unsigned char OPT_SGA = SUPPRESS_GO_AHEAD;
constexpr unsigned char OPT_TTYPE = TERMINAL_TYPE;
constexpr unsigned char OPT_NAWS = NAWS;
constexpr unsigned char TTYPE_IS = IS;
constexpr unsigned char TTYPE_SEND = SEND;

constexpr int kMaxLine = 1024;
constexpr int kMaxSub = 256;
// Negotiation counts as settled after this long without option traffic; the
// prompt goes out no later than kPromptDeadlineMs after connecting.
constexpr int kQuietMs = 150;
constexpr int kPromptDeadlineMs = 1000;

const char* commandName(unsigned char command) {
    switch (command) {
        case DO:
            return "DO";
        case DONT:
            return "DONT";
        case WILL:
            return "WILL";
        case WONT:
            return "WONT";
        default:
            return "?";
    }
}

}  // namespace

TelnetServerSession::TelnetServerSession(QTcpSocket* socket, QString version, QObject* parent)
    : QObject(parent),
      m_socket(socket),
      m_version(std::move(version)),
      m_quietTimer(new QTimer(this)) {
    m_quietTimer->setSingleShot(true);
    m_quietTimer->setInterval(kQuietMs);
    connect(m_quietTimer, &QTimer::timeout, this, &TelnetServerSession::sendPrompt);
    QTimer::singleShot(kPromptDeadlineMs, this, &TelnetServerSession::sendPrompt);
    connect(socket, &QTcpSocket::readyRead, this, &TelnetServerSession::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, [this] {
        m_stage = Stage::Closed;
        deleteLater();
    });

    sendCommand(DO, OPT_TTYPE);
    sendCommand(WILL, OPT_ECHO);
    sendCommand(WILL, OPT_SGA);
    m_quietTimer->start();
}

void TelnetServerSession::onReadyRead() {
    const QByteArray data = m_socket->readAll();
    for (char c : data) {
        if (m_stage == Stage::Closed) {
            return;
        }
        feed(static_cast<unsigned char>(c));
    }
}

void TelnetServerSession::feed(unsigned char byte) {
    switch (m_parse) {
        case ParseState::AfterCr:
            m_parse = ParseState::Data;
            if (byte == '\n' || byte == 0) {
                return;
            }
            [[fallthrough]];
        case ParseState::Data:
            if (byte == IAC) {
                m_parse = ParseState::Iac;
            } else if (byte == '\r' || byte == '\n') {
                m_parse = byte == '\r' ? ParseState::AfterCr : ParseState::Data;
                const QByteArray line = m_line;
                m_line.clear();
                onLine(line);
            } else if (byte != 0 && m_line.size() < kMaxLine) {
                m_line.append(static_cast<char>(byte));
            }
            return;
        case ParseState::Iac:
            if (byte == IAC) {  // an escaped data byte 255
                m_parse = ParseState::Data;
                if (m_line.size() < kMaxLine) {
                    m_line.append(static_cast<char>(byte));
                }
            } else if (byte == DO || byte == DONT || byte == WILL || byte == WONT) {
                m_pendingCommand = byte;
                m_parse = ParseState::Option;
            } else if (byte == SB) {
                m_sub.clear();
                m_parse = ParseState::Sub;
            } else {
                m_parse = ParseState::Data;
                if (byte == AYT) {
                    sendText("\r\n[Yes]\r\n");
                }
                // NOP, GA, BRK and the other plain commands need nothing here.
            }
            return;
        case ParseState::Option:
            m_parse = ParseState::Data;
            onOptionCommand(m_pendingCommand, byte);
            return;
        case ParseState::Sub:
            if (byte == IAC) {
                m_parse = ParseState::SubIac;
            } else if (m_sub.size() < kMaxSub) {
                m_sub.append(static_cast<char>(byte));
            }
            return;
        case ParseState::SubIac:
            if (byte == SE) {
                m_parse = ParseState::Data;
                onSubnegotiation(m_sub);
            } else {
                m_parse = ParseState::Sub;
                if (m_sub.size() < kMaxSub) {
                    m_sub.append(static_cast<char>(byte));
                }
            }
            return;
    }
}

bool TelnetServerSession::supportsLocal(unsigned char option) const {
    return option == OPT_ECHO || option == OPT_SGA;
}

bool TelnetServerSession::supportsRemote(unsigned char option) const {
    return option == OPT_TTYPE || option == OPT_NAWS || option == OPT_SGA;
}

void TelnetServerSession::onOptionCommand(unsigned char command, unsigned char option) {
    emit event(QStringLiteral("client %1 %2").arg(QLatin1String(commandName(command))).arg(option));
    if (m_stage == Stage::Negotiating) {
        m_quietTimer->start();
    }
    const bool enable = command == WILL || command == DO;
    const bool aboutClient = command == WILL || command == WONT;
    std::array<bool, 256>& enabled = aboutClient ? m_remote : m_local;
    std::array<bool, 256>& awaiting = aboutClient ? m_awaitRemote : m_awaitLocal;

    if (awaiting[option]) {
        // The answer to our own request: record it, never answer it.
        awaiting[option] = false;
        enabled[option] = enable;
    } else if (enable) {
        if (enabled[option]) {
            return;  // already on: acknowledging again would start a loop
        }
        const bool supported = aboutClient ? supportsRemote(option) : supportsLocal(option);
        enabled[option] = supported;
        sendCommand(aboutClient ? (supported ? DO : DONT) : (supported ? WILL : WONT), option);
    } else {
        if (!enabled[option]) {
            return;
        }
        enabled[option] = false;
        sendCommand(aboutClient ? DONT : WONT, option);
    }
    if (aboutClient && option == OPT_TTYPE && enable && m_remote[OPT_TTYPE]) {
        const char request[] = {char(IAC),        char(SB),  char(OPT_TTYPE),
                                char(TTYPE_SEND), char(IAC), char(SE)};
        m_socket->write(request, sizeof request);
    }
}

void TelnetServerSession::onSubnegotiation(const QByteArray& data) {
    if (data.size() >= 2 && static_cast<unsigned char>(data[0]) == OPT_TTYPE &&
        static_cast<unsigned char>(data[1]) == TTYPE_IS) {
        emit event(QStringLiteral("terminal type %1").arg(QString::fromLatin1(data.mid(2))));
    } else if (data.size() == 5 && static_cast<unsigned char>(data[0]) == OPT_NAWS) {
        const auto byteAt = [&](int i) { return static_cast<unsigned char>(data[i]); };
        emit event(QStringLiteral("window %1 x %2")
                       .arg(byteAt(1) << 8 | byteAt(2))
                       .arg(byteAt(3) << 8 | byteAt(4)));
    }
    if (m_stage == Stage::Negotiating) {
        m_quietTimer->start();
    }
}

void TelnetServerSession::onLine(const QByteArray& rawLine) {
    const QByteArray line = rawLine.trimmed();
    const bool echo = m_local[OPT_ECHO];
    switch (m_stage) {
        case Stage::Negotiating:
            // Typed ahead of the prompt: take it as the user name.
            m_quietTimer->stop();
            m_user = line;
            m_stage = Stage::Password;
            sendText("Password: ");
            return;
        case Stage::User:
            if (echo) {
                sendText(rawLine + "\r\n");
            }
            m_user = line;
            m_stage = Stage::Password;
            sendText("Password: ");
            return;
        case Stage::Password:
            sendText("\r\n");
            if (m_user == "root" && line.isEmpty()) {
                emit event(QStringLiteral("root logged in"));
                m_stage = Stage::Shell;
                sendText("\r\nWelcome to HiLinux.\r\n\r\n~ # ");
            } else {
                emit event(
                    QStringLiteral("login refused for \"%1\"").arg(QString::fromLatin1(m_user)));
                m_stage = Stage::User;
                sendText("Login incorrect\r\nlogin: ");
            }
            return;
        case Stage::Shell:
            break;
        case Stage::Closed:
            return;
    }

    if (echo) {
        sendText(rawLine + "\r\n");
    }
    emit event(QStringLiteral("command \"%1\"").arg(QString::fromLatin1(line.left(200))));
    if (line.isEmpty()) {
        sendText("~ # ");
    } else if (line == "cat /etc/master-version") {
        sendText("MASTER_VERSION=" + m_version.toLatin1() + "\r\n~ # ");
    } else if (line == "reboot") {
        sendText("The system is going down NOW!\r\nRequesting system reboot\r\n");
        emit rebootRequested();
        closeSession();
    } else if (line == "exit" || line == "logout") {
        closeSession();
    } else {
        const QByteArray name = line.left(line.indexOf(' ') < 0 ? line.size() : line.indexOf(' '));
        sendText("-sh: " + name + ": not found\r\n~ # ");
    }
}

void TelnetServerSession::sendPrompt() {
    if (m_stage != Stage::Negotiating) {
        return;
    }
    m_quietTimer->stop();
    m_stage = Stage::User;
    sendText("\r\nHiLinux login: ");
}

void TelnetServerSession::sendCommand(unsigned char command, unsigned char option) {
    if (command == DO || command == DONT) {
        m_awaitRemote[option] = command == DO && !m_remote[option];
    } else {
        m_awaitLocal[option] = command == WILL && !m_local[option];
    }
    const char bytes[] = {char(IAC), char(command), char(option)};
    m_socket->write(bytes, sizeof bytes);
}

void TelnetServerSession::sendText(const QByteArray& text) {
    QByteArray escaped = text;
    escaped.replace(QByteArray(1, char(IAC)), QByteArray(2, char(IAC)));
    m_socket->write(escaped);
}

void TelnetServerSession::closeSession() {
    m_stage = Stage::Closed;
    m_socket->flush();
    m_socket->disconnectFromHost();
}
