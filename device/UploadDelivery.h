#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

class QTcpSocket;

// Waits until what was written to a TCP socket has reached the peer.
//
// QTcpSocket::write only queues bytes, and even once Qt has handed them to the
// kernel they may sit in its send queue for seconds on a slow link. The drone
// reboots when the user confirms a finished run, so success may only be shown
// once the drone holds every byte of the upload: Qt's write buffer is empty and
// the kernel's send queue holds nothing the peer has not acknowledged (Linux:
// ioctl SIOCOUTQ; macOS: SO_NWRITE).
//
// The wait runs a local event loop in the calling thread, which must own the
// socket: Qt keeps writing its buffer meanwhile, and the socket's signals and
// the thread's other events are delivered as usual. It ends early when the
// connection drops, and when the thread is told to quit (QThread::quit).
class UploadDelivery {
public:
    enum class Outcome {
        Delivered,       // the peer acknowledged every byte
        ConnectionLost,  // the connection closed or failed first
        TimedOut,        // bytes were still unacknowledged when the time was up
        Stopped,         // the thread was told to quit
    };

    struct Result {
        Outcome outcome = Outcome::Delivered;
        qint64 total = 0;        // bytes waiting when the wait began
        qint64 undelivered = 0;  // of those, not acknowledged at the end (-1: unknown)
        qint64 elapsedMs = 0;
        QString reason;  // a sentence for the log, empty when delivered
    };

    // Progress of the wait: bytes acknowledged so far of `total`; called only
    // when the count changes.
    using Progress = std::function<void(qint64 delivered, qint64 total)>;

    static constexpr int kDefaultTimeoutMs = 60000;

    // Waits at most timeoutMs. Logs one line when the wait begins and one with
    // its outcome. A socket that is not connected is ConnectionLost at once.
    static Result wait(QTcpSocket* socket, int timeoutMs = kDefaultTimeoutMs,
                       const Progress& progress = {});

    // Bytes written to the socket that the peer has not acknowledged yet: Qt's
    // write buffer plus the kernel's send queue. -1 when the socket is not
    // connected (or the kernel says the connection is gone).
    static qint64 undeliveredBytes(QTcpSocket* socket);
};
