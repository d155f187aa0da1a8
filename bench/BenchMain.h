#pragma once

// What the Google Benchmark programs that write files share.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

#include <benchmark/benchmark.h>

// Points HOME, the configuration and the Documents folder at a temporary
// directory for the program's lifetime, so a benchmark's logs, maps and
// preferences never land in the user's. Documents/NimbraDesktop/log exists.
class PrivateHome {
public:
    PrivateHome() {
        qputenv("HOME", QFile::encodeName(m_dir.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path() + "/.config"));
        qunsetenv("XDG_DOCUMENTS_DIR");
        QDir(m_dir.path()).mkpath(QStringLiteral("Documents/NimbraDesktop/log"));
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// Runs the registered benchmarks on the command line's options; 1 when an
// option is not one of Google Benchmark's.
inline int runBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
