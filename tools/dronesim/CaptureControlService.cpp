#include "tools/dronesim/CaptureControlService.h"

#include "tools/dronesim/SimLog.h"

#include <QTcpSocket>
#include <QTimer>

namespace {

constexpr int kMaxHeldBytes = 64;
const char* const kHeldProperty = "heldCommandBytes";

}  // namespace

CaptureControlService::CaptureControlService(DroneState& state, const Rig& rig, double unitCm,
                                             int imageIntervalMs, int leadMs,
                                             PieceWriter::Settings pieces, QObject* parent)
    : TcpSimService(QStringLiteral("capture"), kPort, state, parent),
      m_state(state),
      m_timeline(state, rig, unitCm, imageIntervalMs),
      m_leadMs(leadMs),
      m_lead(new QTimer(this)),
      m_pieces(pieces) {
    m_lead->setSingleShot(true);
    connect(m_lead, &QTimer::timeout, this, [this] { m_timeline.start(m_requested); });
    connect(&m_timeline, &CaptureTimeline::statusPacket, this, &CaptureControlService::broadcast);
    connect(&m_state, &DroneState::calibrationModeChanged, this, [this](bool on) {
        if (on && m_waiting) {
            startWhenReady();
        }
    });
}

void CaptureControlService::request(SimPair pair) {
    m_timeline.stop();
    m_lead->stop();
    m_requested = pair;
    m_waiting = true;
    if (m_state.inCalibrationMode()) {
        startWhenReady();
    } else {
        SimLog::event(name(), QStringLiteral("waiting for calibration mode"));
    }
}

void CaptureControlService::startWhenReady() {
    m_waiting = false;
    m_lead->start(m_leadMs);
}

void CaptureControlService::stop() {
    m_lead->stop();
    m_waiting = false;
    m_timeline.stop();
    TcpSimService::stop();
}

void CaptureControlService::onConnection(QTcpSocket* socket) {
    new PieceWriter(socket, m_pieces, 2 * m_connections++ + 2);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onCommands(socket); });
}

void CaptureControlService::onCommands(QTcpSocket* socket) {
    QByteArray held = socket->property(kHeldProperty).toByteArray() + socket->readAll();
    for (;;) {
        if (held.startsWith("startfront")) {
            held.remove(0, 10);
            SimLog::event(name(), QStringLiteral("startfront"));
            request(SimPair::Forward);
        } else if (held.startsWith("startdown")) {
            held.remove(0, 9);
            SimLog::event(name(), QStringLiteral("startdown"));
            request(SimPair::Downward);
        } else if (!held.isEmpty() && !QByteArray("startfront").startsWith(held.left(10)) &&
                   !QByteArray("startdown").startsWith(held.left(9))) {
            SimLog::event(name(), QStringLiteral("unknown command bytes dropped: %1")
                                      .arg(QString::fromLatin1(held.left(kMaxHeldBytes).toHex())));
            held.clear();
        } else {
            break;
        }
    }
    socket->setProperty(kHeldProperty, held.left(kMaxHeldBytes));
}

void CaptureControlService::broadcast(const QByteArray& packet) {
    for (QTcpSocket* socket : connections()) {
        socket->findChild<PieceWriter*>()->write(packet);
    }
}
