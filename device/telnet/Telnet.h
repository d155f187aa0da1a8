#pragma once

#include <QObject>
#include <QString>

class QtTelnet;

// The drone's console session (TELNET, port 23): logs in, reads the firmware
// version and can reboot the drone. Lives on the GUI thread.
//
// There is no state of its own: every text the console sends is matched
// against a few markers and answered (login name "root", an empty password,
// the version query after the welcome banner). Connection failures and the
// end of the connection are left to the protocol client and not reported.
class Telnet : public QObject {
    Q_OBJECT

public:
    explicit Telnet(QObject* parent = nullptr);
    ~Telnet() override;

    // Connects to the device address, port 23 (nothing while connected).
    void connectToHost();
    // Sends "reboot" to the console; dropped while not connected.
    void reboot();

public slots:
    // Answers one piece of console text (one read, not necessarily a line).
    void onMessage(const QString& data);

signals:
    // The firmware version token ("v3.3.9"); empty when a reply carried none.
    void version(QString text);

private:
    QtTelnet* m_pTelnet;
};
