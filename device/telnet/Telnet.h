#pragma once

#include <QObject>
#include <QString>

// The drone's console session (TELNET, port 23): logs in, reads the firmware
// version and can reboot the drone. Lives on the GUI thread.
class Telnet : public QObject {
    Q_OBJECT

public:
    explicit Telnet(QObject* parent = nullptr);

    // Connects to the device address, port 23.
    void connectToHost();
    // Sends "reboot" to the console; dropped while not connected.
    void reboot();

signals:
    void version(QString text);
};
