#include "tests/support/XvfbServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QThread>

namespace {

constexpr int kFirstDisplay = 200;
constexpr int kLastDisplay = 999;

bool displayTaken(int n) {
    return QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) ||
           QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n));
}

}  // namespace

XvfbServer::XvfbServer(const QVector<QSize>& screens) : m_screens(screens) {}

XvfbServer::~XvfbServer() {
    stop();
}

void XvfbServer::stop() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
}

bool XvfbServer::start(int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    // Start where the process id points, so that tests starting together
    // rarely try the same numbers.
    const int span = kLastDisplay - kFirstDisplay + 1;
    const int first = static_cast<int>(QCoreApplication::applicationPid() % span);
    for (int i = 0; i < span && timer.elapsed() < timeoutMs; ++i) {
        const int n = kFirstDisplay + (first + i) % span;
        if (displayTaken(n)) {
            continue;
        }
        QStringList args{QStringLiteral(":%1").arg(n), "-nolisten", "tcp", "-noreset", "-dpi",
                         QString::number(m_dpi)};
        for (int s = 0; s < m_screens.size(); ++s) {
            args << "-screen" << QString::number(s)
                 << QStringLiteral("%1x%2x24").arg(m_screens[s].width()).arg(m_screens[s].height());
        }
        m_process.start(QStringLiteral("Xvfb"), args);
        if (!m_process.waitForStarted(timeoutMs)) {
            m_error = QStringLiteral("Xvfb did not start: ") + m_process.errorString();
            return false;
        }
        // Ready once its socket file accepts a connection; gone when another
        // server holds the number's lock ("Server is already active").
        const QString socketPath = QStringLiteral("/tmp/.X11-unix/X%1").arg(n);
        while (m_process.state() == QProcess::Running && timer.elapsed() < timeoutMs) {
            QLocalSocket probe;
            probe.connectToServer(socketPath);
            if (probe.waitForConnected(200)) {
                probe.disconnectFromServer();
                m_display = QStringLiteral(":%1").arg(n);
                return true;
            }
            m_process.waitForFinished(50);
        }
        m_error = QString::fromLocal8Bit(m_process.readAllStandardError());
        stop();
    }
    m_error = QStringLiteral("no X display could be started: ") + m_error;
    return false;
}
