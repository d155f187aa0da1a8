#include "tests/support/ScriptedTcpPeer.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

ScriptedTcpPeer::ScriptedTcpPeer(QObject* parent)
    : QObject(parent), m_server(new QTcpServer(this)) {
    connect(m_server, &QTcpServer::newConnection, this, &ScriptedTcpPeer::onNewConnection);
}

ScriptedTcpPeer::~ScriptedTcpPeer() = default;

bool ScriptedTcpPeer::listen(const QHostAddress& address, quint16 port) {
    return m_server->listen(address, port);
}

quint16 ScriptedTcpPeer::port() const {
    return m_server->serverPort();
}

void ScriptedTcpPeer::setGreeting(const QByteArray& bytes) {
    m_greeting = bytes;
}

void ScriptedTcpPeer::addStep(const QByteArray& trigger, const QByteArray& reply) {
    m_steps.append(qMakePair(trigger, reply));
    runScript();
}

void ScriptedTcpPeer::send(const QByteArray& bytes) {
    if (m_connection) {
        m_connection->write(bytes);
        m_connection->flush();
    }
}

void ScriptedTcpPeer::closeConnection() {
    if (m_connection) {
        m_connection->disconnectFromHost();
    }
}

void ScriptedTcpPeer::clearReceived() {
    m_received.clear();
    m_scriptPosition = 0;
}

bool ScriptedTcpPeer::waitForReceived(const QByteArray& bytes, int timeoutMs) {
    return QTest::qWaitFor([&] { return m_received.contains(bytes); }, timeoutMs);
}

bool ScriptedTcpPeer::waitForReceivedSize(int size, int timeoutMs) {
    return QTest::qWaitFor([&] { return m_received.size() >= size; }, timeoutMs);
}

bool ScriptedTcpPeer::waitForScript(int timeoutMs) {
    return QTest::qWaitFor([this] { return m_stepsDone == m_steps.size(); }, timeoutMs);
}

bool ScriptedTcpPeer::waitForDisconnection(int timeoutMs) {
    return QTest::qWaitFor([this] { return m_disconnected; }, timeoutMs);
}

void ScriptedTcpPeer::onNewConnection() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        if (m_connection) {
            m_connection->deleteLater();
        }
        m_connection = socket;
        ++m_connectionCount;
        m_disconnected = false;
        connect(socket, &QTcpSocket::readyRead, this, &ScriptedTcpPeer::onReadyRead);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (socket == m_connection) {
                m_disconnected = true;
            }
        });
        send(m_greeting);
    }
}

void ScriptedTcpPeer::onReadyRead() {
    auto* socket = qobject_cast<QTcpSocket*>(sender());
    if (!socket) {
        return;
    }
    m_received += socket->readAll();
    runScript();
}

void ScriptedTcpPeer::runScript() {
    while (m_stepsDone < m_steps.size()) {
        const auto& step = m_steps.at(m_stepsDone);
        const int found = m_received.indexOf(step.first, m_scriptPosition);
        if (found < 0) {
            return;
        }
        m_scriptPosition = found + step.first.size();
        ++m_stepsDone;
        send(step.second);
    }
}
