#pragma once

#include <QProcess>
#include <QSize>
#include <QString>
#include <QVector>

// A private X server for one test: Xvfb on a display number it picks itself
// (-displayfd), one X screen per requested size, no TCP listener. Stopped by
// the destructor.
class XvfbServer {
public:
    explicit XvfbServer(const QVector<QSize>& screens = {QSize(1920, 1080)});
    ~XvfbServer();

    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Waits up to timeoutMs for the server to report its display. False (with
    // errorString()) when Xvfb is missing or did not start.
    bool start(int timeoutMs = 10000);

    // ":N", valid after start().
    QString display() const { return m_display; }
    QString errorString() const { return m_error; }

    // Saves the whole of screen 0 to path (PNG) with ImageMagick's import.
    bool screenshot(const QString& path) const;

private:
    QVector<QSize> m_screens;
    QProcess m_process;
    QString m_display;
    QString m_error;
};
