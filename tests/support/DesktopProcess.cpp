#include "tests/support/DesktopProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>

#include <csignal>

namespace {

QString logPath() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
           QStringLiteral("/NimbraDesktop/log/debug.log");
}

// Where the program's standard output and error go.
QString consolePath() {
    return QStandardPaths::writableLocation(QStandardPaths::HomeLocation) +
           QStringLiteral("/NimbraDesktop.console.log");
}

}  // namespace

DesktopProcess::DesktopProcess(QString program) : m_program(std::move(program)) {
    // The program also writes every log line to its standard error; a pipe
    // nobody reads would fill and stall it.
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(consolePath());
}

DesktopProcess::~DesktopProcess() {
    if (m_process.state() == QProcess::NotRunning) {
        return;
    }
    ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

void DesktopProcess::setLanguage(const QString& langue) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Nimbra"),
                       QStringLiteral("NimbraDesktop"));
    settings.setValue(QStringLiteral("Langue"), langue);
    settings.sync();
}

bool DesktopProcess::start(const QString& display, const QString& deviceAddress, int timeoutMs) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("NIMBRA_DEVICE_ADDRESS"), deviceAddress);
    m_process.setProcessEnvironment(env);
    QFile::remove(logPath());
    m_process.start(m_program, QStringList());
    if (!m_process.waitForStarted(5000)) {
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (!QFile::exists(logPath())) {
        if (timer.elapsed() > timeoutMs || m_process.state() != QProcess::Running) {
            return false;
        }
        QThread::msleep(100);
    }
    return true;
}

QString DesktopProcess::log() const {
    QFile file(logPath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
