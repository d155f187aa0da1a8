#include "tools/dronesim/ConsoleService.h"

#include "tools/dronesim/DroneState.h"
#include "tools/dronesim/TelnetServerSession.h"

#include <QTcpSocket>

ConsoleService::ConsoleService(DroneState& state, QString firmwareVersion, int rebootSeconds,
                               QObject* parent)
    : TcpSimService(QStringLiteral("console"), kPort, state, parent),
      m_version(std::move(firmwareVersion)),
      m_rebootSeconds(rebootSeconds) {}

void ConsoleService::onConnection(QTcpSocket* socket) {
    log(QStringLiteral("desktop connected from port %1").arg(socket->peerPort()));
    auto* session = new TelnetServerSession(socket, m_version, socket);
    connect(session, &TelnetServerSession::event, this, [this](const QString& text) { log(text); });
    connect(session, &TelnetServerSession::rebootRequested, this, [this] {
        log(QStringLiteral("reboot requested"));
        state().reboot(m_rebootSeconds);
    });
    connect(socket, &QTcpSocket::disconnected, this,
            [this] { log(QStringLiteral("desktop disconnected")); });
}
