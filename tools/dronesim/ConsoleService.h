#pragma once

#include "tools/dronesim/TcpSimService.h"

// TCP 23: the drone's TELNET console (one TelnetServerSession per connection).
// A "reboot" typed in it is logged as "reboot requested" and takes the drone
// away for `rebootSeconds` (DroneState::reboot).
class ConsoleService : public TcpSimService {
    Q_OBJECT

public:
    static constexpr quint16 kPort = 23;

    ConsoleService(DroneState& state, QString firmwareVersion, int rebootSeconds,
                   QObject* parent = nullptr);

protected:
    void onConnection(QTcpSocket* socket) override;

private:
    QString m_version;
    int m_rebootSeconds;
};
