#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QTcpSocket>

class QTcpServer;

// A TCP server that plays the remote side of one connection in a test: it
// records every byte it receives, can greet a new connection and follows a
// script of (trigger, reply) steps. Steps run in order: once a step's trigger
// has arrived (after the bytes the previous step matched), its reply is sent.
// A newer connection replaces the current one; the record is kept.
// Qt sockets take TCP urgent data inline: the byte record cannot tell urgent
// bytes apart.
//
// The wait functions run the event loop until the condition holds or the time
// (milliseconds) is up, and return whether it holds.
class ScriptedTcpPeer : public QObject {
    Q_OBJECT

public:
    explicit ScriptedTcpPeer(QObject* parent = nullptr);
    ~ScriptedTcpPeer() override;

    // Listens on a loopback address; port 0 picks a free port.
    bool listen(const QHostAddress& address = QHostAddress::LocalHost, quint16 port = 0);
    quint16 port() const;

    void setGreeting(const QByteArray& bytes);
    void addStep(const QByteArray& trigger, const QByteArray& reply);

    void send(const QByteArray& bytes);
    void closeConnection();
    QTcpSocket* connection() const { return m_connection; }
    int connectionCount() const { return m_connectionCount; }

    QByteArray received() const { return m_received; }
    void clearReceived();

    bool waitForReceived(const QByteArray& bytes, int timeoutMs = 5000);
    bool waitForReceivedSize(int size, int timeoutMs = 5000);
    bool waitForScript(int timeoutMs = 5000);
    bool waitForDisconnection(int timeoutMs = 5000);

private slots:
    void onNewConnection();
    void onReadyRead();

private:
    void runScript();

    QTcpServer* m_server;
    QPointer<QTcpSocket> m_connection;
    int m_connectionCount = 0;
    bool m_disconnected = false;
    QByteArray m_greeting;
    QByteArray m_received;
    QList<QPair<QByteArray, QByteArray>> m_steps;
    int m_stepsDone = 0;
    int m_scriptPosition = 0;
};
