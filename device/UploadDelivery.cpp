#include "device/UploadDelivery.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

#if defined(Q_OS_LINUX)
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#elif defined(Q_OS_MACOS)
#include <sys/socket.h>
#endif

namespace {

// The kernel offers no signal for an emptied send queue; at a few Mbit/s ten
// milliseconds are a few kilobytes, so polling costs nothing noticeable.
constexpr int kPollMs = 10;

// Bytes in the kernel's send queue of the connected socket fd that the peer
// has not acknowledged; -1 when the connection is gone.
qint64 kernelSendQueue(qintptr fd) {
#if defined(Q_OS_LINUX)
    tcp_info info{};
    socklen_t length = sizeof(info);
    if (getsockopt(static_cast<int>(fd), IPPROTO_TCP, TCP_INFO, &info, &length) != 0 ||
        (info.tcpi_state != TCP_ESTABLISHED && info.tcpi_state != TCP_CLOSE_WAIT)) {
        return -1;  // a reset connection delivers nothing more, whatever its queue says
    }
    int queued = 0;
    if (ioctl(static_cast<int>(fd), SIOCOUTQ, &queued) != 0) {
        return -1;
    }
    return queued;
#elif defined(Q_OS_MACOS)
    int queued = 0;
    socklen_t length = sizeof(queued);
    if (getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_NWRITE, &queued, &length) != 0) {
        return -1;
    }
    return queued;
#else
    Q_UNUSED(fd);
    return 0;  // not observable here: Qt's empty buffer is the best we know
#endif
}

}  // namespace

qint64 UploadDelivery::undeliveredBytes(QTcpSocket* socket) {
    if (!socket || socket->state() != QAbstractSocket::ConnectedState ||
        socket->socketDescriptor() < 0) {
        return -1;
    }
    const qint64 queued = kernelSendQueue(socket->socketDescriptor());
    return queued < 0 ? -1 : socket->bytesToWrite() + queued;
}

UploadDelivery::Result UploadDelivery::wait(QTcpSocket* socket, int timeoutMs,
                                            const Progress& progress) {
    QElapsedTimer clock;
    clock.start();
    Result result;
    result.total = undeliveredBytes(socket);
    result.undelivered = result.total;
    bool decided = false;
    QEventLoop loop;

    auto decide = [&](Outcome outcome) {
        if (decided) {
            return;
        }
        decided = true;
        result.outcome = outcome;
        loop.quit();
    };
    // Everything acknowledged counts even when the connection ends right
    // after: the peer holds the bytes.
    auto check = [&] {
        const qint64 left = undeliveredBytes(socket);
        if (left < 0) {
            decide(Outcome::ConnectionLost);
            return;
        }
        if (left != result.undelivered && progress) {
            progress(result.total - left, result.total);
        }
        result.undelivered = left;
        if (left == 0) {
            decide(Outcome::Delivered);
        }
    };

    if (result.total < 0) {
        result.total = 0;
        decide(Outcome::ConnectionLost);
    } else {
        qDebug().noquote() << QStringLiteral("upload: waiting for the drone to receive %1 bytes")
                                  .arg(result.total);
        check();
    }
    if (!decided) {
        QTimer poll;
        poll.setInterval(kPollMs);
        QObject::connect(&poll, &QTimer::timeout, &loop, check);
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
            check();
            decide(Outcome::TimedOut);
        });
        QObject::connect(socket, &QAbstractSocket::errorOccurred, &loop, check);
        QObject::connect(socket, &QAbstractSocket::disconnected, &loop,
                         [&] { decide(Outcome::ConnectionLost); });
        poll.start();
        deadline.start(timeoutMs);
        loop.exec();
        if (!decided) {
            result.outcome = Outcome::Stopped;  // QThread::quit ends every loop of the thread
        }
    }
    result.elapsedMs = clock.elapsed();

    const QString notReceived =
        result.undelivered < 0
            ? QStringLiteral("some of %1 bytes").arg(result.total)
            : QStringLiteral("%1 of %2 bytes").arg(result.undelivered).arg(result.total);
    switch (result.outcome) {
        case Outcome::Delivered:
            qDebug().noquote() << QStringLiteral("upload: the drone received all %1 bytes in %2 ms")
                                      .arg(result.total)
                                      .arg(result.elapsedMs);
            return result;
        case Outcome::ConnectionLost:
            result.reason =
                QStringLiteral("the data connection was lost with %1 not received by the drone")
                    .arg(notReceived);
            break;
        case Outcome::TimedOut:
            result.reason = QStringLiteral("%1 still not received by the drone after %2 s")
                                .arg(notReceived)
                                .arg(timeoutMs / 1000.0);
            break;
        case Outcome::Stopped:
            result.reason =
                QStringLiteral("the data channel was closed with %1 not received by the drone")
                    .arg(notReceived);
            break;
    }
    qDebug().noquote() << QStringLiteral("upload failed: ") + result.reason;
    return result;
}
