#pragma once

#include <QThread>

// Heartbeat with the drone (TCP 10001): reports every change between reachable
// and unreachable. Moves itself to its own thread; started by the main window
// and never stopped while the program runs.
class DeviceMonitor : public QThread {
    Q_OBJECT

public:
    DeviceMonitor();
    ~DeviceMonitor() override;

signals:
    void stateChanged(bool state);
};
