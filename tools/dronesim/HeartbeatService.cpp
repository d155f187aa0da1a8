#include "tools/dronesim/HeartbeatService.h"

#include "tools/dronesim/DroneState.h"

#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace {
const QByteArray kBeat = QByteArrayLiteral("beat");
}

HeartbeatService::HeartbeatService(DroneState& state, double silentAfterSeconds, QObject* parent)
    : TcpSimService(QStringLiteral("heartbeat"), kPort, state, parent),
      m_silentAfterSeconds(silentAfterSeconds) {}

void HeartbeatService::setSilentAtPhase(RunPhase phase) {
    connect(&state(), &DroneState::phaseChanged, this, [this, phase](RunPhase now) {
        if (now == phase && !m_silentByPhase) {
            m_silentByPhase = true;
            logFault(QStringLiteral("heartbeat silent from now on (phase %1)")
                         .arg(DroneState::phaseName(phase)));
        }
    });
}

void HeartbeatService::setGapAtImage(int image, double seconds) {
    connect(&state(), &DroneState::imageTaken, this,
            [this, image, seconds](SimCamera camera, int index) {
                const int global = index + (pairOf(camera) == SimPair::Downward ? 26 : 0);
                if (global != image || m_gapUsed) {
                    return;
                }
                m_gapUsed = true;
                m_gapSeconds = seconds;
                m_gap.start();
                logFault(
                    QStringLiteral("heartbeat silent for %1 s (image %2)").arg(seconds).arg(image));
            });
}

bool HeartbeatService::start(const QHostAddress& address, QString* error) {
    if (!TcpSimService::start(address, error)) {
        return false;
    }
    m_sinceStart.start();
    if (!m_timer) {
        m_timer = new QTimer(this);
        m_timer->setInterval(kIntervalMs);
        connect(m_timer, &QTimer::timeout, this, &HeartbeatService::beat);
    }
    m_timer->start();
    return true;
}

void HeartbeatService::stop() {
    if (m_timer) {
        m_timer->stop();
    }
    TcpSimService::stop();
}

void HeartbeatService::onConnection(QTcpSocket* socket) {
    log(QStringLiteral("desktop connected from port %1").arg(socket->peerPort()));
    auto okCount = std::make_shared<int>(0);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, okCount] {
        const QByteArray data = socket->readAll();
        const int oks = data.count("ok");
        if (oks > 0 && *okCount == 0) {
            log(QStringLiteral("first \"ok\" received"));
        }
        *okCount += oks;
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, okCount] {
        log(QStringLiteral("desktop disconnected after %1 \"ok\"").arg(*okCount));
    });
    if (!silenced() && state().isPresent()) {
        socket->write(kBeat);
    }
}

bool HeartbeatService::silenced() {
    if (m_silentByPhase) {
        return true;
    }
    if (m_gap.isValid()) {
        if (m_gap.elapsed() < m_gapSeconds * 1000.0) {
            return true;
        }
        m_gap.invalidate();
        logFault(QStringLiteral("heartbeat back after its gap"));
    }
    if (m_silentAfterSeconds < 0 || m_sinceStart.elapsed() < m_silentAfterSeconds * 1000.0) {
        return false;
    }
    if (!m_silenceLogged) {
        m_silenceLogged = true;
        logFault(
            QStringLiteral("heartbeat silent from now on (after %1 s)").arg(m_silentAfterSeconds));
    }
    return true;
}

void HeartbeatService::beat() {
    if (silenced() || !state().isPresent()) {
        return;
    }
    for (QTcpSocket* socket : connections()) {
        socket->write(kBeat);
    }
}
