#include "tools/dronesim/DroneState.h"

#include "tools/dronesim/CameraViewState.h"
#include "tools/dronesim/Rig.h"
#include "tools/dronesim/SimLog.h"

#include <QTimer>

#include <algorithm>

DroneState::DroneState(CameraViewState& view, QObject* parent) : QObject(parent), m_view(view) {
    // Services on other threads and signal spies receive these by value.
    qRegisterMetaType<SimCamera>("SimCamera");
    qRegisterMetaType<RunPhase>("RunPhase");
}

void DroneState::setPresent(bool present) {
    if (present == m_present) {
        return;
    }
    m_present = present;
    SimLog::event("drone", present ? "present" : "gone");
    emit presenceChanged(present);
}

void DroneState::setCalibrationMode(bool on) {
    if (on == m_calibrationMode) {
        return;
    }
    m_calibrationMode = on;
    SimLog::event("drone", on ? "calibration mode on" : "calibration mode off");
    emit calibrationModeChanged(on);
}

void DroneState::setPhase(RunPhase phase) {
    if (phase == m_phase) {
        return;
    }
    m_phase = phase;
    SimLog::event("drone", "phase " + phaseName(phase));
    emit phaseChanged(phase);
}

void DroneState::setCapturePosition(SimCamera camera, int imageIndex) {
    imageIndex = std::clamp(imageIndex, 0, Rig::kImagesPerCamera - 1);
    m_camera = camera;
    m_imageIndex = imageIndex;
    m_view.setPoseIndex(pairOf(camera), imageIndex);
    emit capturePositionChanged(camera, imageIndex);
}

void DroneState::recordImageTaken(SimCamera camera, int imageIndex) {
    SimLog::event("drone", QStringLiteral("%1 camera took image %2")
                               .arg(QString::fromStdString(cameraName(camera)))
                               .arg(imageIndex));
    emit imageTaken(camera, imageIndex);
}

void DroneState::reboot(int seconds) {
    setPhase(RunPhase::Rebooting);
    QTimer::singleShot(kShutdownMs, this, [this, seconds] {
        setPresent(false);
        QTimer::singleShot(std::max(0, seconds) * 1000, this, [this] {
            setCalibrationMode(false);
            setPhase(RunPhase::Idle);
            setPresent(true);
        });
    });
}

QString DroneState::phaseName(RunPhase phase) {
    switch (phase) {
        case RunPhase::Idle:
            return QStringLiteral("idle");
        case RunPhase::CaptureForward:
            return QStringLiteral("capturing forward pair");
        case RunPhase::CaptureDownward:
            return QStringLiteral("capturing downward pair");
        case RunPhase::Uploading:
            return QStringLiteral("waiting for upload");
        case RunPhase::Finished:
            return QStringLiteral("finished");
        case RunPhase::Rebooting:
            return QStringLiteral("rebooting");
    }
    return {};
}
