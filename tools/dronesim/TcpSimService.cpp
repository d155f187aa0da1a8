#include "TcpSimService.h"

#include <QTcpServer>
#include <QTcpSocket>

TcpSimService::TcpSimService(QString name, quint16 port, DroneState& state, QObject* parent)
    : SimService(std::move(name), state, parent), m_port(port) {}

bool TcpSimService::start(const QHostAddress& address, QString* error) {
    if (m_server) {
        return true;
    }
    m_server = new QTcpServer(this);
    if (!m_server->listen(address, m_port)) {
        *error = QStringLiteral("cannot listen on %1:%2: %3")
                     .arg(address.toString())
                     .arg(m_port)
                     .arg(m_server->errorString());
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QTcpServer::newConnection, this, &TcpSimService::acceptPending);
    log(QStringLiteral("listening on %1:%2").arg(address.toString()).arg(m_port));
    return true;
}

void TcpSimService::stop() {
    if (!m_server) {
        return;
    }
    m_server->close();
    delete m_server;
    m_server = nullptr;
    for (const QPointer<QTcpSocket>& socket : m_sockets) {
        if (socket) {
            socket->abort();
            socket->deleteLater();
        }
    }
    m_sockets.clear();
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
