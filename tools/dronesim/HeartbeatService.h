#pragma once

#include "tools/dronesim/DroneState.h"
#include "tools/dronesim/TcpSimService.h"

#include <QElapsedTimer>

class QTimer;

// TCP 10001: the drone's sign of life. Every accepted connection receives a few
// bytes every 500 ms while the drone is present; the desktop's "ok" replies are
// read and counted. With a silence fault the heartbeat stops sending for good
// `silentAfterSeconds` after the service started (the drone seems gone although
// its port still accepts connections); with a gap fault it falls silent for a
// while when a chosen image is first taken and then beats again.
class HeartbeatService : public TcpSimService {
    Q_OBJECT

public:
    static constexpr quint16 kPort = 10001;
    static constexpr int kIntervalMs = 500;

    // silentAfterSeconds < 0: never fall silent.
    HeartbeatService(DroneState& state, double silentAfterSeconds, QObject* parent = nullptr);

    // Fault: the heartbeat stops for good once the run reaches `phase`.
    void setSilentAtPhase(RunPhase phase);
    // Fault: the heartbeat stops for `seconds` when global image `image`
    // (0-51, +26 for the downward pair) is taken for the first time, then
    // beats again; later runs are left alone.
    void setGapAtImage(int image, double seconds);

    bool start(const QHostAddress& address, QString* error) override;
    void stop() override;

protected:
    void onConnection(QTcpSocket* socket) override;

private:
    void beat();
    bool silenced();

    double m_silentAfterSeconds;
    bool m_silenceLogged = false;
    bool m_silentByPhase = false;
    bool m_gapUsed = false;
    QElapsedTimer m_gap;  // valid while a gap fault is on
    double m_gapSeconds = 0;
    QElapsedTimer m_sinceStart;
    QTimer* m_timer = nullptr;
};
