#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <cstdio>

// Collects what the code under test prints to standard output (file
// descriptor 1, so printf and puts are caught) between construction and
// finish(). Not for concurrent use.
class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture();

    // Restores standard output and returns everything printed meanwhile.
    QString finish();

    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

private:
    std::FILE* m_file = nullptr;
    int m_saved = -1;
};

// Collects the messages of qDebug and friends between construction and
// destruction (thread-safe), instead of printing them.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();

    QStringList messages() const;
    bool contains(const QString& fragment) const;

    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

private:
    QtMessageHandler m_previous;
};
