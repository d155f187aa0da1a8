#include "device/telnet/QtTelnet.h"

#include "device/telnet/QtTelnetPrivate.h"
#include "device/telnet/TelnetCodes.h"

#include <QTcpSocket>

using namespace TelnetCodes;

QtTelnet::QtTelnet(QObject* parent) : QObject(parent), d(new QtTelnetPrivate(this)) {}

QtTelnet::~QtTelnet() {
    delete d;
}

void QtTelnet::connectToHost(const QString& host, quint16 port) {
    if (d->connected || !d->socket) {
        return;
    }
    // A connection attempt under way is left to finish.
    if (d->socket->state() != QAbstractSocket::UnconnectedState) {
        return;
    }
    d->socket->connectToHost(host, port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
}

void QtTelnet::login(const QString& user, const QString& password) {
    d->loginSent = false;
    d->passwordSent = false;
    d->loginName = user;
    d->wipePassword();
    // A private copy, so that wiping it after sending does not depend on
    // who else shares the caller's string.
    d->password = QString(password.constData(), password.size());
}

void QtTelnet::setLoginPattern(const QRegExp& pattern) {
    d->loginPattern = pattern;
}

void QtTelnet::setPasswordPattern(const QRegExp& pattern) {
    d->passwordPattern = pattern;
}

void QtTelnet::setPromptPattern(const QRegExp& pattern) {
    d->promptPattern = pattern;
}

void QtTelnet::setWindowSize(const QSize& size) {
    setWindowSize(size.width(), size.height());
}

void QtTelnet::setWindowSize(int width, int height) {
    const bool wasValid = d->isValidWindowSize();
    d->windowWidth = width;
    d->windowHeight = height;
    const bool valid = d->isValidWindowSize();
    if (wasValid && valid) {
        d->sendWindowSize();
    } else if (valid) {
        d->sendCommand(WILL, NAWS);
    } else if (wasValid) {
        d->sendCommand(WONT, NAWS);
    }
}

QSize QtTelnet::windowSize() const {
    if (!d->optionModes.value(NAWS, false)) {
        return QSize(-1, -1);
    }
    return QSize(d->windowWidth, d->windowHeight);
}

bool QtTelnet::isValidWindowSize() const {
    return d->isValidWindowSize();
}

void QtTelnet::setSocket(QTcpSocket* socket) {
    d->setSocket(socket);
}

QTcpSocket* QtTelnet::socket() const {
    return d->socket;
}

void QtTelnet::close() {
    if (!d->connected) {
        return;
    }
    d->connected = false;
    d->socket->close();
    emit loggedOut();
}

void QtTelnet::logout() {
    d->sendCommand(DO, LOGOUT);
}

void QtTelnet::sendControl(Control control) {
    static const unsigned char commandBytes[] = {GA, IP, AYT, AO, EC, EL, BRK, TEOF, SUSP, ABORT};
    const int index = int(control);
    if (index < 0 || index >= int(sizeof commandBytes)) {
        return;
    }
    const char command[] = {char(IAC), char(commandBytes[index])};
    d->sendCommand(QByteArray(command, 2));
    if (control == InterruptProcess || control == AreYouThere || control == AbortOutput) {
        d->sendUrgentDataMark();
    }
}

void QtTelnet::sendData(const QString& data) {
    if (!d->connected) {
        return;
    }
    d->socket->write(data.toLocal8Bit());
}

void QtTelnet::sendSync() {
    d->sendUrgentDataMark();
}
