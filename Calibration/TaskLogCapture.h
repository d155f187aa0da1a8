#pragma once

#include <QString>
#include <QStringList>

// Keeps the log lines that the current thread emits while an object of this
// class lives, so that an ordering task can name the stage that dropped its
// image in the run report with exactly the line it logged. Every line still
// goes on to the message handler installed before (the log file), unchanged.
//
// The first capture chains a handler in front of the one in place at that
// moment; a handler installed later without chaining only loses the capture
// (lines() stays empty), never a log line.
class TaskLogCapture {
public:
    TaskLogCapture();
    ~TaskLogCapture();

    const QStringList& lines() const { return m_lines; }

    // The last line that names an ordering stage ("-------<stage>.…"), or the
    // last line of all when none does; empty when nothing was logged.
    QString stageLine() const;

    TaskLogCapture(const TaskLogCapture&) = delete;
    TaskLogCapture& operator=(const TaskLogCapture&) = delete;

private:
    friend struct TaskLogCaptureHook;
    // Only the newest lines are kept (the stage that gave up logs last); a
    // task logs a handful.
    static constexpr int kMaxLines = 64;

    QStringList m_lines;
    TaskLogCapture* m_outer = nullptr;
};
