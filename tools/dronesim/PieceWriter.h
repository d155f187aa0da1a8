#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <random>

class QTcpSocket;

// How the simulated drone hands a channel's bytes to TCP. On loopback each
// write of the simulator arrives as one read of the desktop, which a drone on
// Wi-Fi never guarantees. With pieces on, every write is cut into pieces of
// 1 to kMaxPiece bytes (log-uniform: short pieces are as common as long ones),
// written one at a time with Nagle's algorithm off and a pause of 0 to
// kMaxPauseMs milliseconds between them, so the desktop's reads split anywhere.
// Sizes and pauses come from a generator seeded with (seed, stream): the same
// seed and the same writes give the same pieces. Order is always kept.
//
// Lives as a child of its socket; with pieces off it writes straight through.
class PieceWriter : public QObject {
    Q_OBJECT

public:
    struct Settings {
        bool enabled = false;
        quint32 seed = 0;
    };
    static constexpr int kMaxPiece = 1500;
    static constexpr int kMaxPauseMs = 3;

    // `stream` tells apart the generators of the connections of one run.
    PieceWriter(QTcpSocket* socket, const Settings& settings, quint32 stream);

    void write(const QByteArray& bytes);

    // Bytes accepted by write() that have not been handed to the socket yet.
    qint64 pending() const { return m_pending.size(); }

private:
    void writeNextPiece();

    QPointer<QTcpSocket> m_socket;
    bool m_enabled;
    std::mt19937 m_rng;
    QByteArray m_pending;
    QTimer m_pause;
};
