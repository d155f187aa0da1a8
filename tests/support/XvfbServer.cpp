#include "tests/support/XvfbServer.h"

#include <QElapsedTimer>
#include <QProcessEnvironment>

XvfbServer::XvfbServer(const QVector<QSize>& screens) : m_screens(screens) {}

XvfbServer::~XvfbServer() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
}

bool XvfbServer::start(int timeoutMs) {
    QStringList args{"-displayfd", "1", "-nolisten", "tcp", "-noreset"};
    for (int i = 0; i < m_screens.size(); ++i) {
        args << "-screen" << QString::number(i)
             << QStringLiteral("%1x%2x24").arg(m_screens[i].width()).arg(m_screens[i].height());
    }
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(QStringLiteral("Xvfb"), args);
    if (!m_process.waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("Xvfb did not start: ") + m_process.errorString();
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    QByteArray out;
    while (!out.contains('\n')) {
        const int left = timeoutMs - static_cast<int>(timer.elapsed());
        if (left <= 0 || m_process.state() == QProcess::NotRunning) {
            m_error = QStringLiteral("Xvfb gave no display number: ") +
                      QString::fromLocal8Bit(m_process.readAllStandardError());
            return false;
        }
        m_process.waitForReadyRead(left);
        out += m_process.readAllStandardOutput();
    }
    m_display = QStringLiteral(":") + QString::fromLatin1(out.trimmed());
    return true;
}

bool XvfbServer::screenshot(const QString& path) const {
    QProcess import;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display + QStringLiteral(".0"));
    import.setProcessEnvironment(env);
    import.start(QStringLiteral("import"), {"-window", "root", path});
    return import.waitForFinished(20000) && import.exitCode() == 0;
}
