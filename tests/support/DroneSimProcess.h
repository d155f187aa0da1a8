#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// The drone simulator (tools/dronesim) as a child process of a test, on a
// loopback address of the test's own choosing so that suites can run side by
// side. start() returns once the simulator has printed its "ready" line (all
// services listening); the destructor ends it with SIGTERM and, if it does not
// exit within five seconds, kills it.
class DroneSimProcess {
public:
    // program: path of the dronesim executable (tests get it from the build).
    explicit DroneSimProcess(QString program);
    ~DroneSimProcess();

    DroneSimProcess(const DroneSimProcess&) = delete;
    DroneSimProcess& operator=(const DroneSimProcess&) = delete;

    // Starts "dronesim --addr ADDRESS ARGS..." and waits up to timeoutMs for
    // "ready". False (with the output so far in output()) if it exits or times out.
    bool start(const QString& address, const QStringList& args = {}, int timeoutMs = 20000);

    // Waits until the standard output holds `fragment` (searched in everything
    // printed since start). Keeps the caller's event loop running.
    bool waitForOutput(const QString& fragment, int timeoutMs);

    // Everything the simulator printed so far on standard output / error.
    QString output();
    QString errorOutput();

private:
    void collect();

    QString m_program;
    QProcess m_process;
    QByteArray m_stdout;
    QByteArray m_stderr;
};
