#pragma once

#include "tools/dronesim/DroneState.h"
#include "tools/dronesim/Rig.h"

#include <QByteArray>
#include <QObject>
#include <QVector>

class QTimer;

// The drone flying one camera pair's 26 images in front of the screen, as the
// capture control channel reports it: a 71-byte status packet per analysed
// frame with the three mark circles of the current view, the distance ratio
// and the turn. For every image a few approach frames (frame 1..4, pos 0 or 1)
// come first, then the shot (frame 5, pos 1), at which the image is taken
// (DroneState::recordImageTaken). Images 0..12 are taken by the left camera,
// 13..25 by the right one. Some images are approached from too near, too far
// or turned, for longer than the desktop's ten-packet patience, so that its
// guidance shows; every shot itself is in range and straight.
//
// Pacing: one image every imageIntervalMs, its packets spread evenly over it
// (the stretches out of range add packets at the same rate).
class CaptureTimeline : public QObject {
    Q_OBJECT

public:
    static constexpr int kLastLeftImage = 12;
    static constexpr int kShotFrame = 5;

    CaptureTimeline(DroneState& state, const Rig& rig, double unitCm, int imageIntervalMs,
                    QObject* parent = nullptr);

    // Starts (or restarts) the capture of `pair` from image 0. The forward pair
    // ends in CaptureForward (waiting for "startdown"), the downward pair moves
    // the run on to Uploading.
    void start(SimPair pair);
    void stop();
    bool isRunning() const;

    // The status packets of one image of `pair`, in sending order (exposed for
    // tests: pure, no timing).
    QVector<QByteArray> imagePackets(SimPair pair, int index) const;

signals:
    void statusPacket(const QByteArray& packet);
    void pairFinished(SimPair pair);

private:
    void tick();

    DroneState& m_state;
    const Rig& m_rig;
    double m_unitCm;
    int m_imageIntervalMs;
    QTimer* m_timer;
    SimPair m_pair = SimPair::Forward;
    int m_index = 0;
    QVector<QByteArray> m_pending;
};
