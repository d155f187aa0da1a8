#pragma once

#include "tools/dronesim/CaptureTimeline.h"
#include "tools/dronesim/PieceWriter.h"
#include "tools/dronesim/TcpSimService.h"

class QTimer;

// TCP 10000: the capture control channel. "startfront" starts the forward
// pair's capture timeline, "startdown" the downward one's; the timeline's
// status packets go to every open connection. A pair starts leadMs after its
// command, and not before the drone is in calibration mode: the desktop opens
// the pair's left camera stream at the same moment, and a status packet of
// image 12 or 25 that arrives before the stream is open is read against the
// wrong camera. Commands may arrive split or
// together; unknown text is logged and dropped (at most 64 bytes are held).
class CaptureControlService : public TcpSimService {
    Q_OBJECT

public:
    static constexpr quint16 kPort = 10000;

    // `pieces`: how each connection's writes are cut (PieceWriter).
    CaptureControlService(DroneState& state, const Rig& rig, double unitCm, int imageIntervalMs,
                          int leadMs, PieceWriter::Settings pieces = {}, QObject* parent = nullptr);

    void stop() override;

protected:
    void onConnection(QTcpSocket* socket) override;

private:
    void onCommands(QTcpSocket* socket);
    void broadcast(const QByteArray& packet);
    void request(SimPair pair);
    void startWhenReady();

    DroneState& m_state;
    CaptureTimeline m_timeline;
    int m_leadMs;
    QTimer* m_lead;
    SimPair m_requested = SimPair::Forward;
    bool m_waiting = false;  // a command is waiting for calibration mode
    PieceWriter::Settings m_pieces;
    quint32 m_connections = 0;
};
