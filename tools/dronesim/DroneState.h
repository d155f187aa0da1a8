#pragma once

#include "tools/dronesim/SimCamera.h"

#include <QMetaType>
#include <QObject>
#include <QString>

class CameraViewState;

// Phases of a calibration run as the drone lives it.
enum class RunPhase {
    Idle,             // no run: waiting for the desktop
    CaptureForward,   // "startfront" received: the forward pair is being captured
    CaptureDownward,  // "startdown" received: the downward pair is being captured
    Uploading,        // last image sent: waiting for "right"/"wrong" and the upload
    Finished,         // upload received (or "wrong"); waiting for the reboot
    Rebooting,        // "reboot" on the console: every service is quiet for a while
};

// What every service of the simulated drone shares: whether the drone is
// present (its heartbeat talks), whether it is in calibration mode (the HTTP
// switch), the run phase and the capture position (which camera takes which image,
// hence which pose the camera streams show). Lives on the main thread; services
// change it through the setters and react to the signals. The pose shown by the
// streams is mirrored into a CameraViewState that the stream thread reads.
class DroneState : public QObject {
    Q_OBJECT

public:
    explicit DroneState(CameraViewState& view, QObject* parent = nullptr);

    bool isPresent() const { return m_present; }
    bool inCalibrationMode() const { return m_calibrationMode; }
    RunPhase phase() const { return m_phase; }
    SimCamera currentCamera() const { return m_camera; }
    SimPair currentPair() const { return pairOf(m_camera); }
    int imageIndex() const { return m_imageIndex; }

    void setPresent(bool present);
    void setCalibrationMode(bool on);
    void setPhase(RunPhase phase);

    // The capture timeline moves the drone: `camera` is about to take image
    // `imageIndex` (0..25), so both cameras of its pair now show that pose.
    void setCapturePosition(SimCamera camera, int imageIndex);

    // The capture timeline took image `imageIndex` with `camera`: the data channel
    // answers with that image's feature packet.
    void recordImageTaken(SimCamera camera, int imageIndex);

    // The console's "reboot": the phase becomes Rebooting at once, the drone goes
    // away kShutdownMs later (time for the console's last words to leave), and
    // comes back `seconds` after that: present, idle, out of calibration mode.
    void reboot(int seconds);

    static QString phaseName(RunPhase phase);

    static constexpr int kShutdownMs = 300;

signals:
    void presenceChanged(bool present);
    void calibrationModeChanged(bool on);
    void phaseChanged(RunPhase phase);
    void capturePositionChanged(SimCamera camera, int imageIndex);
    void imageTaken(SimCamera camera, int imageIndex);

private:
    CameraViewState& m_view;
    bool m_present = true;
    bool m_calibrationMode = false;
    RunPhase m_phase = RunPhase::Idle;
    SimCamera m_camera = SimCamera::ForwardLeft;
    int m_imageIndex = 0;
};

Q_DECLARE_METATYPE(SimCamera)
Q_DECLARE_METATYPE(RunPhase)
