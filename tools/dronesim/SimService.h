#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>

class DroneState;

// One service of the simulated drone. main() builds the services, starts them
// all on the same loopback address and stops them in reverse order on exit.
// A new service (capture control, data channel) derives from this, or from
// TcpSimService when it is a plain TCP listener, and is appended to that list.
class SimService : public QObject {
    Q_OBJECT

public:
    SimService(QString name, DroneState& state, QObject* parent = nullptr);

    // The service name used in every log line ("heartbeat", "http", ...).
    QString name() const { return m_name; }

    // Starts listening on `address`. False with `error` set (port in use, no
    // permission for a port below 1024, missing codec, ...).
    virtual bool start(const QHostAddress& address, QString* error) = 0;

    // Closes every connection and the listening socket; idempotent.
    virtual void stop() = 0;

protected:
    DroneState& state() const { return m_state; }
    void log(const QString& text) const;
    void logFault(const QString& text) const;

private:
    QString m_name;
    DroneState& m_state;
};
