#pragma once

#include <QProcess>
#include <QSize>
#include <QString>
#include <QVector>

// A private X server for one test: Xvfb with one X screen per requested size,
// no TCP listener, stopped by the destructor.
//
// The display number is chosen here, from :200 up, as the first one with
// neither a socket file in /tmp/.X11-unix nor a lock file, and the server
// takes its lock file itself; a number another server grabs first is skipped.
// Xvfb's own choice (-displayfd) is not used: it takes no lock file and only
// sees the abstract sockets of its own network namespace, so inside a private
// namespace it picks :0 and replaces the socket file of the machine's :0.
class XvfbServer {
public:
    explicit XvfbServer(const QVector<QSize>& screens = {QSize(1920, 1080)});
    ~XvfbServer();

    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Pixels per inch the server reports (before start()): its screens'
    // physical size is their size x 25.4 / dpi millimetres. 96 unless set.
    void setDpi(int dpi) { m_dpi = dpi; }

    // Waits up to timeoutMs for the server to accept connections. False (with
    // errorString()) when Xvfb is missing or no display could be started.
    bool start(int timeoutMs = 10000);

    // ":N", valid after start().
    QString display() const { return m_display; }
    QString errorString() const { return m_error; }

private:
    void stop();

    QVector<QSize> m_screens;
    int m_dpi = 96;
    QProcess m_process;
    QString m_display;
    QString m_error;
};
