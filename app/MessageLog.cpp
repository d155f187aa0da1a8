#include "app/MessageLog.h"

#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QStandardPaths>
#include <QTextStream>

namespace {

QtMessageHandler g_previousHandler = nullptr;

QMutex& logMutex() {
    // Never destroyed: worker threads may still log while statics are torn down.
    static QMutex* mutex = new QMutex;
    return *mutex;
}

}  // namespace

QString logDirPath() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
           QStringLiteral("/NimbraDesktop/log");
}

QString logFilePath() {
    return logDirPath() + QStringLiteral("/debug.log");
}

QString formatLogLine(QtMsgType type, const QString& msg) {
    switch (type) {
        case QtDebugMsg:
            return QStringLiteral("Debug[%1]: %2")
                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yy-MM-dd hh:mm:ss")),
                     msg);
        case QtWarningMsg:
            return QStringLiteral("Warning: %1").arg(msg);
        case QtCriticalMsg:
            return QStringLiteral("Critical: %1").arg(msg);
        case QtFatalMsg:
            return QStringLiteral("Fatal: %1").arg(msg);
        default:
            return QString();
    }
}

void customMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& msg) {
    {
        QMutexLocker lock(&logMutex());
        const QString text = formatLogLine(type, msg);
        QFile file(logFilePath());
        if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
            QTextStream stream(&file);
            stream << text << "\n";
            stream.flush();
            file.close();
        }
    }
    if (g_previousHandler) {
        g_previousHandler(type, context, msg);
    }
}

void installMessageLog() {
    g_previousHandler = qInstallMessageHandler(customMessageHandler);
}
