#include "tests/support/OutputCapture.h"

#include <QMutex>
#include <QMutexLocker>

#include <unistd.h>

#include <cstdlib>

StdoutCapture::StdoutCapture() {
    std::fflush(stdout);
    m_file = std::tmpfile();
    m_saved = dup(STDOUT_FILENO);
    if (m_file == nullptr || m_saved < 0 || dup2(fileno(m_file), STDOUT_FILENO) < 0) {
        std::fprintf(stderr, "StdoutCapture: cannot redirect standard output\n");
        std::abort();
    }
}

StdoutCapture::~StdoutCapture() {
    finish();
}

QString StdoutCapture::finish() {
    if (m_file == nullptr) {
        return QString();
    }
    std::fflush(stdout);
    dup2(m_saved, STDOUT_FILENO);
    close(m_saved);
    std::rewind(m_file);
    QByteArray bytes;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, m_file)) > 0) {
        bytes.append(buffer, static_cast<int>(n));
    }
    std::fclose(m_file);
    m_file = nullptr;
    return QString::fromUtf8(bytes);
}

namespace {

QMutex g_logMutex;
QStringList g_logMessages;

void collect(QtMsgType, const QMessageLogContext&, const QString& message) {
    QMutexLocker lock(&g_logMutex);
    g_logMessages.append(message);
}

}  // namespace

LogCapture::LogCapture() {
    QMutexLocker lock(&g_logMutex);
    g_logMessages.clear();
    m_previous = qInstallMessageHandler(collect);
}

LogCapture::~LogCapture() {
    qInstallMessageHandler(m_previous);
}

QStringList LogCapture::messages() const {
    QMutexLocker lock(&g_logMutex);
    return g_logMessages;
}

bool LogCapture::contains(const QString& fragment) const {
    for (const QString& m : messages()) {
        if (m.contains(fragment)) {
            return true;
        }
    }
    return false;
}
