#include "tests/support/FakeHttpServer.h"

#include <QTcpSocket>

FakeHttpServer::FakeHttpServer(QObject* parent) : QTcpServer(parent) {
    m_clock.start();
    connect(this, &QTcpServer::newConnection, this, &FakeHttpServer::onNewConnection);
}

void FakeHttpServer::onNewConnection() {
    while (QTcpSocket* socket = nextPendingConnection()) {
        auto* buffer = new QByteArray;
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (!buffer->contains("\r\n\r\n")) {
                return;
            }
            m_requestLines << buffer->left(buffer->indexOf("\r\n"));
            m_requestTimes << m_clock.elapsed();
            const QByteArray reason = m_status == 200 ? "OK" : "Status";
            QByteArray response = "HTTP/1.1 " + QByteArray::number(m_status) + " " + reason +
                                  "\r\nContent-Type: text/plain\r\nContent-Length: " +
                                  QByteArray::number(m_body.size()) +
                                  "\r\nConnection: close\r\n\r\n" + m_body;
            socket->write(response);
            socket->disconnectFromHost();
        });
        connect(socket, &QTcpSocket::disconnected, socket, [socket, buffer] {
            delete buffer;
            socket->deleteLater();
        });
    }
}
