#pragma once

#include "tools/dronesim/TcpSimService.h"

#include <QByteArray>
#include <QHash>

// TCP 80: a minimal HTTP/1.1 server with one resource. GET
// "/nimbra-ap03/switch=demarcate_mode" puts the drone into calibration mode and
// answers 200 with the body "Success"; any other path is 404, any other method
// 405, a malformed or oversized request 400. Every response closes the
// connection. Faults replace the switch's status and/or body.
class HttpSwitchService : public TcpSimService {
    Q_OBJECT

public:
    static constexpr quint16 kPort = 80;
    static constexpr int kMaxRequestBytes = 8192;

    struct Fault {
        int status = 0;   // 0: no fault, else answer this status
        QByteArray body;  // used when replaceBody is set
        bool replaceBody = false;
    };

    HttpSwitchService(DroneState& state, Fault fault, QObject* parent = nullptr);

protected:
    void onConnection(QTcpSocket* socket) override;

private:
    void handleRequest(QTcpSocket* socket, const QByteArray& head);
    void respond(QTcpSocket* socket, int status, const QByteArray& body);

    Fault m_fault;
    QHash<QTcpSocket*, QByteArray> m_pending;  // request bytes received so far
};
