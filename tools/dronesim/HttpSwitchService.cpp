#include "tools/dronesim/HttpSwitchService.h"

#include "tools/dronesim/DroneState.h"

#include <QTcpSocket>

namespace {

const QByteArray kSwitchPath = QByteArrayLiteral("/nimbra-ap03/switch=demarcate_mode");

QByteArray reasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 500:
            return "Internal Server Error";
        case 502:
            return "Bad Gateway";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

}  // namespace

HttpSwitchService::HttpSwitchService(DroneState& state, Fault fault, QObject* parent)
    : TcpSimService(QStringLiteral("http"), kPort, state, parent), m_fault(std::move(fault)) {}

void HttpSwitchService::onConnection(QTcpSocket* socket) {
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        QByteArray& pending = m_pending[socket];
        pending += socket->readAll();
        const int end = pending.indexOf("\r\n\r\n");
        if (end < 0) {
            if (pending.size() > kMaxRequestBytes) {
                log(QStringLiteral("request head larger than %1 bytes").arg(kMaxRequestBytes));
                m_pending.remove(socket);
                respond(socket, 400, "Bad Request");
            }
            return;
        }
        const QByteArray head = pending.left(end);
        m_pending.remove(socket);
        disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
        handleRequest(socket, head);
    });
    connect(socket, &QObject::destroyed, this, [this, socket] { m_pending.remove(socket); });
}

void HttpSwitchService::handleRequest(QTcpSocket* socket, const QByteArray& head) {
    const QByteArray requestLine =
        head.left(head.indexOf("\r\n") < 0 ? head.size() : head.indexOf("\r\n"));
    const QList<QByteArray> parts = requestLine.split(' ');
    if (parts.size() != 3 || !parts[2].startsWith("HTTP/1.")) {
        log(QStringLiteral("malformed request line \"%1\"")
                .arg(QString::fromLatin1(requestLine.left(200))));
        respond(socket, 400, "Bad Request");
        return;
    }
    const QByteArray& method = parts[0];
    const QByteArray& target = parts[1];
    log(QStringLiteral("%1 %2").arg(QString::fromLatin1(method), QString::fromLatin1(target)));
    if (target != kSwitchPath) {
        respond(socket, 404, "Not Found");
        return;
    }
    if (method != "GET") {
        respond(socket, 405, "Method Not Allowed");
        return;
    }

    int status = 200;
    QByteArray body = "Success";
    if (m_fault.status != 0) {
        status = m_fault.status;
        logFault(QStringLiteral("answering status %1 instead of 200").arg(status));
    }
    if (m_fault.replaceBody) {
        body = m_fault.body;
        logFault(QStringLiteral("answering body \"%1\" instead of \"Success\"")
                     .arg(QString::fromUtf8(body)));
    }
    if (status == 200 && body.contains("Success")) {
        state().setCalibrationMode(true);
    }
    respond(socket, status, body);
}

void HttpSwitchService::respond(QTcpSocket* socket, int status, const QByteArray& body) {
    QByteArray response =
        "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) +
        "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size()) +
        "\r\nConnection: close\r\n\r\n" + body;
    socket->write(response);
    socket->disconnectFromHost();
    log(QStringLiteral("answered %1").arg(status));
}
