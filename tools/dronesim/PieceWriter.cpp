#include "tools/dronesim/PieceWriter.h"

#include <QTcpSocket>

#include <cmath>

PieceWriter::PieceWriter(QTcpSocket* socket, const Settings& settings, quint32 stream)
    : QObject(socket), m_socket(socket), m_enabled(settings.enabled) {
    std::seed_seq seed{settings.seed, stream};
    m_rng.seed(seed);
    m_pause.setSingleShot(true);
    connect(&m_pause, &QTimer::timeout, this, &PieceWriter::writeNextPiece);
    if (m_enabled) {
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    }
}

void PieceWriter::write(const QByteArray& bytes) {
    if (!m_socket || bytes.isEmpty()) {
        return;
    }
    if (!m_enabled) {
        m_socket->write(bytes);
        return;
    }
    m_pending += bytes;
    if (!m_pause.isActive()) {
        writeNextPiece();
    }
}

void PieceWriter::writeNextPiece() {
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState) {
        m_pending.clear();
        return;
    }
    std::uniform_real_distribution<double> logSize(0.0, std::log(double(kMaxPiece) + 1.0));
    const int size = qBound(1, static_cast<int>(std::exp(logSize(m_rng))), kMaxPiece);
    const int n = qMin(size, m_pending.size());
    m_socket->write(m_pending.constData(), n);
    m_socket->flush();
    m_pending.remove(0, n);
    if (!m_pending.isEmpty()) {
        m_pause.start(std::uniform_int_distribution<int>(0, kMaxPauseMs)(m_rng));
    }
}
