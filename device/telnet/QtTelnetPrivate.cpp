#include "device/telnet/QtTelnetPrivate.h"

#include "device/telnet/QtTelnet.h"
#include "device/telnet/QtTelnetAuthNull.h"
#include "device/telnet/TelnetCodes.h"

#include <QDebug>
#include <QTcpSocket>

#include <sys/socket.h>
#include <cerrno>
#include <cstring>

using namespace TelnetCodes;

namespace {

unsigned char byteAt(const QByteArray& bytes, int index) {
    return static_cast<unsigned char>(bytes.at(index));
}

QByteArray sequence(std::initializer_list<unsigned char> bytes) {
    QByteArray out;
    out.reserve(int(bytes.size()));
    for (unsigned char b : bytes) {
        out.append(char(b));
    }
    return out;
}

// A 16-bit big-endian number inside a sub-negotiation; a 255 byte is doubled
// so that the peer does not take it for IAC.
void appendEscaped16(QByteArray& out, int value) {
    const int clamped = qBound(0, value, 0xFFFF);
    for (unsigned char b :
         {static_cast<unsigned char>(clamped >> 8), static_cast<unsigned char>(clamped & 0xFF)}) {
        out.append(char(b));
        if (b == IAC) {
            out.append(char(IAC));
        }
    }
}

}  // namespace

QtTelnetPrivate::QtTelnetPrivate(QtTelnet* owner)
    : owner(owner),
      socket(nullptr),
      windowWidth(-1),
      windowHeight(-1),
      connected(false),
      isLoggedIn(false),
      loginSent(false),
      passwordSent(false),
      firstPrompt(true),
      currentAuth(nullptr),
      plainLogin(false),
      loginPattern(QStringLiteral("ogin:\\s*$"), Qt::CaseSensitive, QRegExp::RegExp),
      passwordPattern(QStringLiteral("assword:\\s*$"), Qt::CaseSensitive, QRegExp::RegExp) {
    setSocket(new QTcpSocket(this));
}

QtTelnetPrivate::~QtTelnetPrivate() {
    wipePassword();
    if (currentAuth && !authenticators.values().contains(currentAuth)) {
        delete currentAuth;
    }
    qDeleteAll(authenticators);
    if (socket) {
        // The socket is our child, but its signals must not reach a half
        // destroyed object while it closes.
        disconnect(socket, nullptr, this, nullptr);
    }
}

void QtTelnetPrivate::setSocket(QTcpSocket* newSocket) {
    if (socket) {
        sendCommand(sequence({IAC, DO, LOGOUT}));
        socket->flush();
        disconnect(socket, nullptr, this, nullptr);
        delete socket;
    }
    socket = newSocket;
    connected = false;
    if (!socket) {
        return;
    }
    socket->setParent(this);
    connect(socket, &QTcpSocket::connected, this, &QtTelnetPrivate::socketConnected);
    connect(socket, &QTcpSocket::disconnected, this, &QtTelnetPrivate::socketConnectionClosed);
    connect(socket, &QTcpSocket::readyRead, this, &QtTelnetPrivate::socketReadyRead);
    connect(socket, &QTcpSocket::errorOccurred, this, &QtTelnetPrivate::socketError);
    // A socket handed over already connected never signals connected().
    if (socket->state() == QAbstractSocket::ConnectedState) {
        socketConnected();
    }
}

void QtTelnetPrivate::sendCommand(const QByteArray& command) {
    if (!connected || command.isEmpty()) {
        return;
    }
    if (command.size() == 3) {
        const QPair<unsigned char, unsigned char> pair(byteAt(command, 1), byteAt(command, 2));
        if (sentCommands.contains(pair)) {
            sentCommands.removeAll(pair);
            return;
        }
        sentCommands.append(pair);
    }
    socket->write(command);
}

void QtTelnetPrivate::sendCommand(unsigned char command, unsigned char option) {
    sendCommand(sequence({IAC, command, option}));
}

void QtTelnetPrivate::sendString(const QString& text) {
    if (!connected || text.isEmpty()) {
        return;
    }
    socket->write(text.toLocal8Bit());
}

void QtTelnetPrivate::sendUrgentDataMark() {
    if (!connected) {
        return;
    }
    // The urgent byte must follow everything already queued on the socket.
    socket->flush();
    const qintptr descriptor = socket->socketDescriptor();
    if (descriptor < 0) {
        return;
    }
    const char mark = char(DM);
    if (::send(int(descriptor), &mark, 1, MSG_OOB | MSG_NOSIGNAL) != 1) {
        qDebug("QtTelnetPrivate: cannot send the urgent data mark: %s", std::strerror(errno));
    }
}

void QtTelnetPrivate::sendWindowSize() {
    if (!optionModes.value(NAWS, false) || !isValidWindowSize()) {
        return;
    }
    QByteArray bytes = sequence({IAC, SB, NAWS});
    appendEscaped16(bytes, windowWidth);
    appendEscaped16(bytes, windowHeight);
    bytes.append(char(IAC));
    bytes.append(char(SE));
    sendCommand(bytes);
}

bool QtTelnetPrivate::isValidWindowSize() const {
    return optionModes.value(NAWS, false) && windowWidth >= 0 && windowHeight >= 0;
}

void QtTelnetPrivate::socketConnected() {
    connected = true;
    // Agreements and half-read sequences of an earlier connection mean
    // nothing to this peer; kept, they would swallow our requests below.
    optionModes.clear();
    sentCommands.clear();
    pendingData.clear();
    sendCommand(WILL, AUTHENTICATION);
    sendCommand(DO, SUPPRESS_GO_AHEAD);
    sendCommand(WILL, LINEMODE);
    sendCommand(DO, STATUS);
    if (isValidWindowSize()) {
        sendCommand(WILL, NAWS);
    }
}

void QtTelnetPrivate::socketConnectionClosed() {
    // After close() or a peer's WONT LOGOUT the end was already reported.
    if (!connected) {
        return;
    }
    connected = false;
    emit owner->loggedOut();
}

void QtTelnetPrivate::socketReadyRead() {
    receiveData(socket->readAll());
}

void QtTelnetPrivate::socketError(QAbstractSocket::SocketError error) {
    emit owner->connectionError(error);
}

void QtTelnetPrivate::receiveData(const QByteArray& bytes) {
    if (bytes.isEmpty()) {
        return;
    }
    pendingData.enqueue(bytes);
    consume();
}

void QtTelnetPrivate::consume() {
    QByteArray buffer;
    while (!pendingData.isEmpty()) {
        buffer += pendingData.dequeue();
    }
    const int size = buffer.size();
    int i = 0;
    while (i < size) {
        const unsigned char c = byteAt(buffer, i);
        int consumed;
        const bool escapedIac = c == IAC && i + 1 < size && byteAt(buffer, i + 1) == IAC;
        if (c == IAC && !escapedIac) {
            consumed = parseCommand(buffer, i);
        } else if (c == DM) {
            consumed = 1;
        } else {
            consumed = parseText(buffer, i);
        }
        if (consumed == 0) {
            break;
        }
        i += consumed;
    }
    if (i >= size) {
        return;
    }
    const QByteArray rest = buffer.mid(i);
    if (rest.size() > kMaxPendingBytes) {
        qDebug("QtTelnetPrivate: dropping %d bytes of an unterminated command sequence",
               rest.size());
        return;
    }
    pendingData.prepend(rest);
}

int QtTelnetPrivate::parseCommand(const QByteArray& buffer, int start) {
    const int available = buffer.size() - start;
    if (available < 2) {
        return 0;
    }
    const unsigned char command = byteAt(buffer, start + 1);
    switch (command) {
        case WILL:
        case WONT:
        case DO:
        case DONT:
            if (available < 3) {
                return 0;
            }
            return parseNegotiation(command, byteAt(buffer, start + 2));
        case SB:
            return parseSubNegotiation(buffer, start);
        default:
            // DM, NOP, GA, AYT and the other two-byte commands (and a stray
            // SE) ask nothing of a client: skip them.
            return 2;
    }
}

int QtTelnetPrivate::parseNegotiation(unsigned char operation, unsigned char option) {
    if (operation == WONT && option == LOGOUT) {
        if (connected) {
            connected = false;
            socket->close();
            emit owner->loggedOut();
        }
        return 3;
    }
    if (operation == DONT && option == AUTHENTICATION) {
        if (loginPattern.isEmpty() && passwordPattern.isEmpty()) {
            emit owner->loggedIn();
        }
        plainLogin = true;
    }
    if ((operation == DONT && !optionModes[option]) || (operation == DO && optionModes[option])) {
        return 3;
    }
    const bool allowed = isOptionAllowed(option);
    unsigned char answer = WONT;
    switch (operation) {
        case WILL:
            answer = allowed ? DO : DONT;
            break;
        case WONT:
            answer = DONT;
            break;
        case DO:
            answer = allowed ? WILL : WONT;
            break;
        default:
            answer = WONT;
            break;
    }
    sendCommand(answer, option);
    if (operation == DO || operation == DONT) {
        optionModes[option] = operation == DO;
        if (option == NAWS && optionModes[option]) {
            sendWindowSize();
        }
    }
    return 3;
}

int QtTelnetPrivate::parseSubNegotiation(const QByteArray& buffer, int start) {
    const int size = buffer.size();
    if (size - start < 4) {
        return 0;
    }
    QByteArray subOption;
    int i = start + 2;
    bool terminated = false;
    while (i + 1 < size) {
        const unsigned char c = byteAt(buffer, i);
        if (c == IAC) {
            const unsigned char next = byteAt(buffer, i + 1);
            if (next == SE) {
                terminated = true;
                break;
            }
            if (next == IAC) {
                subOption.append(char(IAC));
                i += 2;
                continue;
            }
        }
        subOption.append(char(c));
        ++i;
    }
    if (!terminated) {
        return 0;
    }
    const int consumed = i + 2 - start;
    if (subOption.isEmpty()) {
        return consumed;
    }
    switch (byteAt(subOption, 0)) {
        case TERMINAL_TYPE:
            sendTerminalType(subOption);
            break;
        case NAWS:
            break;
        case AUTHENTICATION:
            authenticate(subOption);
            break;
        default:
            qWarning("QtTelnetPrivate::parseIAC: unknown suboption %d", int(byteAt(subOption, 0)));
            break;
    }
    return consumed;
}

int QtTelnetPrivate::parseText(const QByteArray& buffer, int start) {
    const int size = buffer.size();
    QByteArray bytes;
    int i = start;
    while (i < size) {
        const unsigned char c = byteAt(buffer, i);
        if (c == 0) {
            ++i;
            break;
        }
        if (c == IAC) {
            if (i + 1 < size && byteAt(buffer, i + 1) == IAC) {
                bytes.append(char(IAC));
                i += 2;
                continue;
            }
            // A command inside the text ends this segment; the next round
            // parses it.
            break;
        }
        bytes.append(char(c));
        ++i;
    }
    if (!bytes.isEmpty()) {
        handleText(QString::fromLocal8Bit(bytes));
    }
    return i - start;
}

void QtTelnetPrivate::handleText(QString text) {
    if (!isLoggedIn && plainLogin) {
        if (!promptPattern.isEmpty() && promptPattern.indexIn(text) != -1) {
            emit owner->loggedIn();
            isLoggedIn = true;
        } else {
            if (!loginPattern.isEmpty() && loginPattern.indexIn(text) != -1) {
                if (loginSent || firstPrompt) {
                    emit owner->message(text);
                    text.clear();
                    emit owner->loginRequired();
                    firstPrompt = false;
                }
                if (!loginSent) {
                    sendString(loginName);
                    loginSent = true;
                }
            }
            if (!passwordPattern.isEmpty() && passwordPattern.indexIn(text) != -1) {
                if (passwordSent || firstPrompt) {
                    emit owner->message(text);
                    text.clear();
                    emit owner->loginRequired();
                    firstPrompt = false;
                }
                if (!passwordSent) {
                    sendString(password);
                    passwordSent = true;
                    wipePassword();
                }
            }
        }
    }
    if (!text.isEmpty()) {
        emit owner->message(text);
    }
}

void QtTelnetPrivate::sendTerminalType(const QByteArray& subOption) {
    if (subOption.size() < 2 || byteAt(subOption, 1) != SEND) {
        return;
    }
    sendCommand(sequence({IAC, SB, TERMINAL_TYPE, IS}));
    sendString(QStringLiteral("UNKNOWN"));
    sendCommand(sequence({IAC, SE}));
}

void QtTelnetPrivate::authenticate(const QByteArray& subOption) {
    const bool noPatterns = loginPattern.isEmpty() && passwordPattern.isEmpty();
    if (!currentAuth && subOption.size() >= 2 && byteAt(subOption, 1) == SEND) {
        // Offered methods come as (type, modifier) pairs after SEND.
        for (int i = 2; i < subOption.size(); i += 2) {
            const auto found = authenticators.constFind(byteAt(subOption, i));
            if (found != authenticators.constEnd()) {
                currentAuth = found.value();
                emit owner->loginRequired();
                break;
            }
        }
        if (!currentAuth) {
            currentAuth = new QtTelnetAuthNull;
            plainLogin = true;
            if (noPatterns) {
                isLoggedIn = true;
            }
        }
    }
    if (!currentAuth) {
        return;
    }
    const QByteArray reply = currentAuth->authStep(subOption);
    if (!reply.isEmpty()) {
        sendCommand(reply);
    }
    if (currentAuth->authState == QtTelnetAuth::AuthSuccess) {
        if (noPatterns) {
            emit owner->loggedIn();
        }
        if (!plainLogin) {
            isLoggedIn = true;
        }
    } else if (currentAuth->authState == QtTelnetAuth::AuthFailure) {
        emit owner->loginFailed();
    }
}

bool QtTelnetPrivate::isOptionAllowed(unsigned char option) const {
    switch (option) {
        case SUPPRESS_GO_AHEAD:
        case STATUS:
        case LOGOUT:
        case TERMINAL_TYPE:
        case LINEMODE:
        case AUTHENTICATION:
            return true;
        case NAWS:
            // Whether we have a size to report; the peer's DO that asks for
            // it has not been recorded yet when this is answered.
            return windowWidth >= 0 && windowHeight >= 0;
        default:
            return false;
    }
}

void QtTelnetPrivate::wipePassword() {
    password.fill(QLatin1Char(' '));
    password.clear();
}
