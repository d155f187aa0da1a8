#pragma once

#include <QString>
#include <QtGlobal>

// The process-wide log: every qDebug/qWarning/qCritical/qFatal of every thread
// ends up as one line of "<Documents>/NimbraDesktop/log/debug.log".
//
// Paths are recomputed from the Documents location on every call (a test that
// points HOME elsewhere gets its own log), nothing keeps the file open between
// lines, and one process-wide mutex makes each line's formatting and write
// atomic with respect to the other threads.

// "<Documents>/NimbraDesktop/log"
QString logDirPath();
// logDirPath() + "/debug.log"
QString logFilePath();

// The line text for one message: "Debug[yy-MM-dd hh:mm:ss]: msg", "Warning: msg",
// "Critical: msg", "Fatal: msg"; empty for any other type (info). The time
// stamp is the local time when the line is formatted.
QString formatLogLine(QtMsgType type, const QString& msg);

// The installed handler: appends formatLogLine(...) and a line end to the log
// file (silently skipped when it cannot be opened), then passes the message on
// to the handler that was installed before it.
void customMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& msg);

// Installs customMessageHandler and remembers the previous handler.
void installMessageLog();
