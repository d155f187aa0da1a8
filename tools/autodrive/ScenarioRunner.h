#pragma once

#include "tools/autodrive/RunDriver.h"

// The runs a person makes through NimbraDesktop, played with a RunDriver.
// Each returns false on the first step that does not come within its limit
// (RunDriver::error() says which). Time limits assume the simulator's default
// pacing (a whole capture in about 35 s) on a slow two-core machine.
class ScenarioRunner {
public:
    explicit ScenarioRunner(RunDriver& driver) : m_d(driver) {}

    // The main window waiting for a drone. Screenshot "01-link".
    bool linkPage();
    // A device is there: guide page countdown ("02-guide-countdown"), start
    // unlocked ("03-guide-ready"), start pressed.
    bool startFromGuide();
    // From the start press to the forward-finished overlay's "确定": wait
    // overlay (and nothing else over the window), forward capture,
    // forward-finished overlay (screenshots 04 to 06).
    bool captureForwardPair();
    // From there to the downward-finished overlay's "确定": downward cameras,
    // downward capture, downward-finished overlay (screenshots 07 to 09).
    bool captureDownwardPair();
    bool captureBothPairs() { return captureForwardPair() && captureDownwardPair(); }
    // The main window's progress page (if the calculation is still running)
    // and then the result page; true when it shows `expectOk` ? OK : NG.
    // Screenshots "10-progress", "11-ok" or "11-ng".
    bool awaitResult(bool expectOk);
    // The result page whichever it is (screenshots as awaitResult).
    bool awaitAnyResult();
    // On the NG page: once the run's report is read, the reason of a
    // board-size failure comes with the gold screen size check button
    // ("11-ng-board-size").
    bool ngOffersScreenCheck();
    // After captureBothPairs() of a run still waiting for its last image: the
    // main window's progress page with a bar not yet full, not the result
    // page of an earlier run ("13-progress-of-this-run").
    bool progressOfThisRun();
    // On the OK page: "确定", the simulator hears "reboot", the main window
    // goes to the link page as the drone restarts ("12-rebooting").
    bool confirmOkAndReboot();
    // On the NG page: "重新标定" leads to the guide page with a fresh
    // countdown that keeps the start button locked for about ten seconds
    // ("12-guide-again"). lockedMs receives how long it stayed locked.
    bool recalibrate(qint64* lockedMs);

    // On a page that offers the screen size check (NG page after a board-size
    // failure, guide page of a screen without a believable size): its gold
    // button, then the arrow keys until the card outline is as wide as a real
    // ID-1 card on a screen of trueMmPerPx millimetres per pixel, then "保存"
    // ("14-screen-check", "15-screen-checked"). The page it came from returns.
    bool checkScreenSize(double trueMmPerPx);

    // Failure paths, each starting right after startFromGuide().
    // The heartbeat stops while the forward-finished overlay is up: the device
    // overlay over it ("device-lost-on-forward-finished"); its "确定" returns
    // to the main window (link page, or the guide page once the drone is back).
    bool deviceLostOnForwardFinished();
    // Right after captureForwardPair(): the downward cameras never open. The
    // camera-failure overlay comes over the wait overlay ("camera-never-opens");
    // givenUpAfterMs receives the time from the forward-finished "确定" to it.
    // "重启软件" brings the main window back as in cameraFailure().
    bool downwardCamerasNeverOpen(qint64* givenUpAfterMs);
    // The mode switch fails: camera-failure overlay; "重启软件" hides the
    // calibration window and the main window returns about a second later.
    // shownAfterMs receives the time from the press to the main window.
    bool cameraFailure(qint64* shownAfterMs);
    // During the forward capture: quit button, quit overlay, "确定"; the main
    // window's guide page comes back and the simulator hears "quit".
    bool quitDuringCapture();

private:
    // On a camera-failure overlay: screenshot, "重启软件", the guide page.
    bool pressRestart(const QString& shot, qint64* shownAfterMs);

    RunDriver& m_d;
};
