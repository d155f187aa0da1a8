#include "app/SingleInstance.h"

#include <QDebug>
#include <QFile>

#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString pidFilePath() {
    const QByteArray env = qgetenv("NIMBRA_PID_FILE");
    if (!env.isEmpty()) {
        return QFile::decodeName(env);
    }
    return QStringLiteral("/tmp/NimbraDesktop.pid");
}

bool IsSingleProcess(const QString& path) {
    const QByteArray nativePath = QFile::encodeName(path);
    const int fd = ::open(nativePath.constData(), O_RDWR | O_CREAT, 0644);
    qDebug() << "fd" << fd;
    if (fd < 0) {
        return false;
    }

    struct flock lock;
    std::memset(&lock, 0, sizeof(lock));
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;  // to the end of the file, however far it grows
    if (::fcntl(fd, F_SETLK, &lock) < 0) {
        ::close(fd);
        return false;
    }

    if (::ftruncate(fd, 0) < 0) {
        qDebug() << "pid file truncate failed:" << std::strerror(errno);
    }
    char buf[32];
    const int len = std::snprintf(buf, sizeof(buf), "%ld", static_cast<long>(::getpid()));
    if (len > 0 && ::write(fd, buf, static_cast<size_t>(len) + 1) < 0) {
        qDebug() << "pid file write failed:" << std::strerror(errno);
    }
    // fd stays open on purpose: closing it would drop the lock.
    return true;
}

bool IsSingleProcess() {
    return IsSingleProcess(pidFilePath());
}
