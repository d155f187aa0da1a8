#pragma once

#include <QProcess>
#include <QString>

// The real NimbraDesktop program as a child of a test, on an X display of the
// test's own, talking to the device address the test chose. It inherits the
// test's isolated home (Documents, preferences, pid file). The destructor ends
// it with SIGTERM and, if it does not exit within five seconds, kills it.
class DesktopProcess {
public:
    // program: path of the NimbraDesktop executable.
    explicit DesktopProcess(QString program);
    ~DesktopProcess();

    DesktopProcess(const DesktopProcess&) = delete;
    DesktopProcess& operator=(const DesktopProcess&) = delete;

    // Stores the language preference the program reads at start ("zh", "en").
    static void setLanguage(const QString& langue);

    // Starts the program and waits up to timeoutMs for its debug.log to exist.
    bool start(const QString& display, const QString& deviceAddress, int timeoutMs = 20000);

    // The program's debug.log so far (empty when there is none).
    QString log() const;

    bool isRunning() const { return m_process.state() == QProcess::Running; }

private:
    QProcess m_process;
    QString m_program;
};
