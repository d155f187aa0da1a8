#include "tools/dronesim/TcpSimService.h"

#include "tools/dronesim/DroneState.h"
#include "tools/dronesim/SimLog.h"

#include <QTcpServer>
#include <QTcpSocket>

TcpSimService::TcpSimService(QString name, quint16 port, DroneState& state, QObject* parent)
    : SimService(std::move(name), state, parent), m_port(port) {
    connect(&state, &DroneState::presenceChanged, this, &TcpSimService::onPresenceChanged);
}

bool TcpSimService::start(const QHostAddress& address, QString* error) {
    if (m_started) {
        return true;
    }
    m_address = address;
    if (!listen(error)) {
        return false;
    }
    m_started = true;
    log(QStringLiteral("listening on %1:%2").arg(address.toString()).arg(m_port));
    return true;
}

void TcpSimService::stop() {
    m_started = false;
    closeAll();
}

bool TcpSimService::listen(QString* error) {
    m_server = new QTcpServer(this);
    if (!m_server->listen(m_address, m_port)) {
        *error = QStringLiteral("cannot listen on %1:%2: %3")
                     .arg(m_address.toString())
                     .arg(m_port)
                     .arg(m_server->errorString());
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QTcpServer::newConnection, this, &TcpSimService::acceptPending);
    return true;
}

void TcpSimService::closeAll() {
    delete m_server;  // closes the listening socket
    m_server = nullptr;
    for (const QPointer<QTcpSocket>& socket : m_sockets) {
        if (socket) {
            socket->abort();
            socket->deleteLater();
        }
    }
    m_sockets.clear();
}

void TcpSimService::onPresenceChanged(bool present) {
    if (!m_started) {
        return;
    }
    if (!present) {
        closeAll();
        log(QStringLiteral("port %1 closed while the drone is away").arg(m_port));
        return;
    }
    QString error;
    if (!m_server && !listen(&error)) {
        SimLog::error(name(), error);
        return;
    }
    log(QStringLiteral("port %1 open again").arg(m_port));
}

QList<QTcpSocket*> TcpSimService::connections() const {
    QList<QTcpSocket*> open;
    for (const QPointer<QTcpSocket>& socket : m_sockets) {
        if (socket && socket->state() == QAbstractSocket::ConnectedState) {
            open.append(socket.data());
        }
    }
    return open;
}

void TcpSimService::acceptPending() {
    while (m_server && m_server->hasPendingConnections()) {
        QTcpSocket* socket = m_server->nextPendingConnection();
        socket->setParent(this);
        m_sockets.removeAll(QPointer<QTcpSocket>());
        m_sockets.append(socket);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        onConnection(socket);
    }
}
