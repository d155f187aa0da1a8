#include "app/SingleInstance.h"

#include <QDebug>
#include <QFile>

#include <cerrno>
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

namespace {

void refuse(const QString& path, const QString& why) {
    qDebug().noquote() << QStringLiteral("pid file %1 refused: %2").arg(path, why);
}

}  // namespace

bool IsSingleProcess(const QString& path) {
    const QByteArray nativePath = QFile::encodeName(path);
    // The program may run as root and /tmp is everyone's: never follow a link
    // someone planted there, never write into anything but a plain file of
    // this name alone, and never hand the descriptor to a child process.
    // O_NONBLOCK: opening a planted FIFO must not wait for a writer.
    const int fd = ::open(nativePath.constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
    const int openError = errno;
    qDebug() << "fd" << fd;
    if (fd < 0) {
        refuse(path, openError == ELOOP ? QStringLiteral("it is a symbolic link")
                                        : QString::fromLocal8Bit(std::strerror(openError)));
        return false;
    }
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        refuse(path, QStringLiteral("not a regular file"));
        ::close(fd);
        return false;
    }
    if (status.st_nlink != 1) {
        refuse(path, QStringLiteral("the file has %1 names (hard links)").arg(status.st_nlink));
        ::close(fd);
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

    // Only the holder of the lock empties the file: a second copy must not
    // wipe the first one's pid.
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
