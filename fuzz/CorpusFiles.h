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
    // From a generator's command line, whose one argument is the directory;
    // prints the usage and fails (exit code 2) otherwise.
    CorpusFiles(int argc, char* argv[]) {
        if (argc == 2) {
            m_directory = QString::fromLocal8Bit(argv[1]);
        } else {
            std::fprintf(stderr, "usage: %s CORPUS_DIRECTORY\n", argv[0]);
            m_usage = true;
        }
    }

    bool add(const QByteArray& input) {
        QFile file(QString("%1/seed-%2").arg(m_directory).arg(m_count++, 3, 10, QChar('0')));
        if (!file.open(QIODevice::WriteOnly) || file.write(input) != input.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            m_ok = false;
        }
        return m_ok;
    }

    bool usable() const { return !m_usage; }
    int exitCode() const { return m_usage ? 2 : m_ok ? 0 : 1; }

private:
    QString m_directory;
    int m_count = 0;
    bool m_ok = true;
    bool m_usage = false;
};
