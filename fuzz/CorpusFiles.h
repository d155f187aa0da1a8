#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdio>

// Writes seed inputs as numbered files into the corpus directory given on the
// command line of a corpus generator.
class CorpusFiles {
public:
    explicit CorpusFiles(const char* directory) : m_directory(QString::fromLocal8Bit(directory)) {}

    bool add(const QByteArray& input) {
        QFile file(QString("%1/seed-%2").arg(m_directory).arg(m_count++, 3, 10, QChar('0')));
        if (!file.open(QIODevice::WriteOnly) || file.write(input) != input.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            m_ok = false;
        }
        return m_ok;
    }

    int exitCode() const { return m_ok ? 0 : 1; }

private:
    QString m_directory;
    int m_count = 0;
    bool m_ok = true;
};
