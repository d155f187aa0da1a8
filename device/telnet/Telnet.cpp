#include "device/telnet/Telnet.h"

#include "device/DeviceAddress.h"
#include "device/telnet/QtTelnet.h"

#include <QRegularExpression>

namespace {
const quint16 kConsolePort = 23;
}

Telnet::Telnet(QObject* parent) : QObject(parent), m_pTelnet(new QtTelnet) {
    connect(m_pTelnet, &QtTelnet::message, this, &Telnet::onMessage);
}

Telnet::~Telnet() {
    delete m_pTelnet;
}

void Telnet::connectToHost() {
    m_pTelnet->connectToHost(DeviceAddress::host(), kConsolePort);
}

void Telnet::reboot() {
    m_pTelnet->sendData(QStringLiteral("reboot\r\n"));
}

void Telnet::onMessage(const QString& data) {
    if (data.contains(QLatin1String("login"))) {
        m_pTelnet->sendData(QStringLiteral("root\r\n"));
    } else if (data.contains(QLatin1String("Password"))) {
        m_pTelnet->sendData(QStringLiteral("\r\n"));
    } else if (data.contains(QLatin1String("Welcome to HiLinux"))) {
        m_pTelnet->sendData(QStringLiteral("cat /etc/master-version\r\n"));
    } else if (data.contains(QLatin1Char('='))) {
        static const QRegularExpression versionPattern(QStringLiteral("(v|V)\\d+\\.\\d+\\.\\d+"));
        emit version(versionPattern.match(data).captured(0));
    }
}
