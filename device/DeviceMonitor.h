#pragma once

#include <QThread>

class QTcpSocket;
class QTimer;

// Heartbeat with the drone (TCP 10001 at the device address). The drone sends
// something at least once a second while it is present; every tick (1000 ms)
// on which bytes arrived is answered with "ok", and a tick without bytes means
// the drone is gone: the monitor reports it and reconnects (each attempt
// blocks the monitor's own thread for up to 3 s).
//
// Moves itself to its own thread; started by the main window and never
// stopped while the program runs. stateChanged is emitted only on a change.
class DeviceMonitor : public QThread {
    Q_OBJECT

public:
    DeviceMonitor();
    ~DeviceMonitor() override;

    static constexpr quint16 kPort = 10001;

signals:
    void stateChanged(bool state);

public slots:
    void onTimeout();

protected:
    void run() override;

private:
    void connectToHost();

    QTcpSocket* m_pSocket = nullptr;
    QTimer* m_pTimer = nullptr;
    bool m_bOnline = false;
};
