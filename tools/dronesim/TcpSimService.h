#pragma once

#include "tools/dronesim/SimService.h"

#include <QList>
#include <QPointer>

class QTcpServer;
class QTcpSocket;

// A service that listens on one TCP port and handles each accepted connection.
// Owns its connections: stop() aborts them all. Subclasses implement
// onConnection(), connecting to the socket's signals; the socket is deleted
// (deleteLater) when it disconnects or when the service stops.
//
// While the drone is away (DroneState presence false, e.g. rebooting) the port
// is closed like a powered-down drone's: connections are aborted and new ones
// refused until the drone is back.
class TcpSimService : public SimService {
    Q_OBJECT

public:
    TcpSimService(QString name, quint16 port, DroneState& state, QObject* parent = nullptr);

    quint16 port() const { return m_port; }
    bool start(const QHostAddress& address, QString* error) override;
    void stop() override;

protected:
    virtual void onConnection(QTcpSocket* socket) = 0;
    // Open connections (those not yet disconnected).
    QList<QTcpSocket*> connections() const;

private:
    void acceptPending();
    bool listen(QString* error);
    void closeAll();
    void onPresenceChanged(bool present);

    quint16 m_port;
    QHostAddress m_address;
    bool m_started = false;
    QTcpServer* m_server = nullptr;
    QList<QPointer<QTcpSocket>> m_sockets;
};
