#include "tests/support/DroneSimProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>

DroneSimProcess::DroneSimProcess(QString program) : m_program(std::move(program)) {}

DroneSimProcess::~DroneSimProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }
}

bool DroneSimProcess::start(const QString& address, const QStringList& args, int timeoutMs) {
    m_stdout.clear();
    m_stderr.clear();
    m_process.start(m_program, QStringList{QStringLiteral("--addr"), address} + args);
    if (!m_process.waitForStarted(5000)) {
        return false;
    }
    return waitForOutput(QStringLiteral("[dronesim] ready"), timeoutMs);
}

bool DroneSimProcess::waitForOutput(const QString& fragment, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    const QByteArray needle = fragment.toUtf8();
    for (;;) {
        collect();
        if (m_stdout.contains(needle)) {
            return true;
        }
        if (m_process.state() == QProcess::NotRunning || clock.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        m_process.waitForReadyRead(20);
    }
}

QString DroneSimProcess::output() {
    collect();
    return QString::fromUtf8(m_stdout);
}

QString DroneSimProcess::errorOutput() {
    collect();
    return QString::fromUtf8(m_stderr);
}

void DroneSimProcess::collect() {
    // QProcess moves data from the pipes into its buffers only from its event
    // handling or its wait functions: drain what is already there.
    while (m_process.state() == QProcess::Running && m_process.waitForReadyRead(10)) {
    }
    m_stdout += m_process.readAllStandardOutput();
    m_stderr += m_process.readAllStandardError();
}
