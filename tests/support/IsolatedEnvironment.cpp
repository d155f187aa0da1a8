#include "tests/support/IsolatedEnvironment.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstdlib>

IsolatedEnvironment::IsolatedEnvironment() : m_dir(QDir::tempPath() + "/nimbra-test-XXXXXX") {
    if (!m_dir.isValid()) {
        std::fprintf(stderr, "IsolatedEnvironment: cannot create a temporary home\n");
        std::abort();
    }
    const QString home = m_dir.path();
    QDir(home).mkpath(QStringLiteral("Documents"));
    QDir(home).mkpath(QStringLiteral(".config"));
    QDir(home).mkpath(QStringLiteral(".local/share"));
    QDir(home).mkpath(QStringLiteral(".cache"));
    QDir(home).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(home + "/runtime",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + "/.config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + "/.local/share"));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home + "/.cache"));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home + "/runtime"));
    qunsetenv("XDG_DOCUMENTS_DIR");
    qputenv("NIMBRA_PID_FILE", QFile::encodeName(home + "/NimbraDesktop.pid"));
}
