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
    // From the start press to the downward-finished overlay's "确定": wait
    // overlay, forward capture, forward-finished overlay, downward cameras,
    // downward capture, downward-finished overlay (screenshots 04 to 09).
    bool captureBothPairs();
    // The main window's progress page (if the calculation is still running)
    // and then the result page; true when it shows `expectOk` ? OK : NG.
    // Screenshots "10-progress", "11-ok" or "11-ng".
    bool awaitResult(bool expectOk);
    // On the OK page: "确定", the simulator hears "reboot", the main window
    // goes to the link page as the drone restarts ("12-rebooting").
    bool confirmOkAndReboot();
    // On the NG page: "重新标定" leads to the guide page with a fresh
    // countdown that keeps the start button locked for about ten seconds
    // ("12-guide-again"). lockedMs receives how long it stayed locked.
    bool recalibrate(qint64* lockedMs);

    // Failure paths, each starting right after startFromGuide().
    // The heartbeat stops during the forward capture: device overlay, its
    // "确定" returns to the main window on the link page.
    bool deviceLost();
    // The mode switch fails: camera-failure overlay; "重启软件" hides the
    // calibration window and the main window returns about a second later.
    // shownAfterMs receives the time from the press to the main window.
    bool cameraFailure(qint64* shownAfterMs);
    // During the forward capture: quit button, quit overlay, "确定"; the main
    // window's guide page comes back and the simulator hears "quit".
    bool quitDuringCapture();

private:
    RunDriver& m_d;
};
