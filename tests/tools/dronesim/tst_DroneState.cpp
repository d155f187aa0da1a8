// The state every simulated service shares: the capture position must steer the
// camera views of its own pair only, and a reboot must take the drone away and
// bring it back clean.
#include "CameraViewState.h"
#include "DroneState.h"
#include "TestMain.h"

#include <QSignalSpy>

class tst_DroneState : public QObject {
    Q_OBJECT

private slots:
    void capturePositionSteersItsPairsViews() {
        CameraViewState view;
        DroneState state(view);
        QSignalSpy moved(&state, &DroneState::capturePositionChanged);

        state.setCapturePosition(SimCamera::ForwardRight, 12);
        QCOMPARE(view.poseIndex(SimPair::Forward), 12);
        QCOMPARE(view.poseIndex(SimPair::Downward), 0);
        QCOMPARE(state.currentPair(), SimPair::Forward);

        state.setCapturePosition(SimCamera::DownwardLeft, 25);
        QCOMPARE(view.poseIndex(SimPair::Downward), 25);
        QCOMPARE(view.poseIndex(SimPair::Forward), 12);
        QCOMPARE(state.currentCamera(), SimCamera::DownwardLeft);
        QCOMPARE(state.imageIndex(), 25);

        // Out-of-range indexes from a confused timeline stay on a real pose.
        state.setCapturePosition(SimCamera::DownwardRight, 40);
        QCOMPARE(view.poseIndex(SimPair::Downward), 25);
        state.setCapturePosition(SimCamera::ForwardLeft, -3);
        QCOMPARE(view.poseIndex(SimPair::Forward), 0);
        QCOMPARE(moved.count(), 4);
    }

    void signalsOnlyOnChange() {
        CameraViewState view;
        DroneState state(view);
        QSignalSpy mode(&state, &DroneState::calibrationModeChanged);
        QSignalSpy phase(&state, &DroneState::phaseChanged);
        state.setCalibrationMode(true);
        state.setCalibrationMode(true);
        state.setPhase(RunPhase::CaptureForward);
        state.setPhase(RunPhase::CaptureForward);
        QCOMPARE(mode.count(), 1);
        QCOMPARE(phase.count(), 1);
    }

    void rebootTakesTheDroneAwayAndBringsItBackIdle() {
        CameraViewState view;
        DroneState state(view);
        state.setCalibrationMode(true);
        state.setPhase(RunPhase::Finished);
        QSignalSpy presence(&state, &DroneState::presenceChanged);

        state.reboot(1);
        QCOMPARE(state.phase(), RunPhase::Rebooting);
        QVERIFY(state.isPresent());  // still saying goodbye
        QTRY_VERIFY_WITH_TIMEOUT(!state.isPresent(), 2000);
        QCOMPARE(state.phase(), RunPhase::Rebooting);
        QTRY_VERIFY_WITH_TIMEOUT(state.isPresent(), 3000);
        QCOMPARE(state.phase(), RunPhase::Idle);
        QVERIFY(!state.inCalibrationMode());
        QCOMPARE(presence.count(), 2);
        QCOMPARE(presence.at(0).at(0).toBool(), false);
        QCOMPARE(presence.at(1).at(0).toBool(), true);
    }
};

NIMBRA_CORE_TEST_MAIN(tst_DroneState)
#include "tst_DroneState.moc"
