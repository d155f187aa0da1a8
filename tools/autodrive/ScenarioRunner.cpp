#include "tools/autodrive/ScenarioRunner.h"

#include <cmath>

using Page = WizardScreen::Page;

namespace {

// The calibration window logs "N onImageIndex" for every image taken.
QRegularExpression imageTaken(int index) {
    return QRegularExpression(QStringLiteral("(^|\\D)%1 onImageIndex").arg(index));
}

constexpr int kPairCaptureMs = 120000;
constexpr int kCalculationMs = 180000;

}  // namespace

bool ScenarioRunner::linkPage() {
    return m_d.waitForPage({Page::Link}, 30000, QStringLiteral("main window on the link page")) &&
           m_d.shot(QStringLiteral("01-link"));
}

bool ScenarioRunner::startFromGuide() {
    // The countdown lasts ten seconds; the drone's heartbeat arrives within a
    // few more.
    if (!m_d.waitForPage({Page::GuideLocked, Page::GuideReady}, 30000,
                         QStringLiteral("guide page after the device connects"))) {
        return false;
    }
    if (m_d.page() == Page::GuideLocked) {
        m_d.shot(QStringLiteral("02-guide-countdown"));
    }
    return m_d.waitForPage({Page::GuideReady}, 15000,
                           QStringLiteral("start button unlocked after the countdown")) &&
           m_d.shot(QStringLiteral("03-guide-ready")) &&
           m_d.press(QStringLiteral("start calibration"));
}

bool ScenarioRunner::captureForwardPair() {
    // The wait overlay lasts as long as the drone takes to switch its cameras
    // on; a fast drone may already stream when the first picture is taken.
    // Nothing an earlier run left may lie over the window.
    if (!m_d.waitForPage({Page::OverlayWait, Page::Capture}, 15000,
                         QStringLiteral("calibration window opening the forward cameras"))) {
        return false;
    }
    if (m_d.page() == Page::OverlayWait) {
        m_d.shot(QStringLiteral("04-wait-forward"));
    }
    if (!m_d.waitForAppLog(imageTaken(5), 1, kPairCaptureMs,
                           QStringLiteral("forward capture under way")) ||
        !m_d.waitForPage({Page::Capture}, 5000, QStringLiteral("live forward capture")) ||
        !m_d.shot(QStringLiteral("05-forward-capture"))) {
        return false;
    }
    if (!m_d.waitForPage({Page::OverlayButton}, kPairCaptureMs,
                         QStringLiteral("forward-finished overlay")) ||
        !m_d.waitForAppLog(imageTaken(25), 1, 5000, QStringLiteral("26 forward images"))) {
        return false;
    }
    m_d.settle();
    return m_d.shot(QStringLiteral("06-forward-finished")) &&
           m_d.press(QStringLiteral("forward finished OK"));
}

bool ScenarioRunner::captureDownwardPair() {
    if (!m_d.waitForPage({Page::OverlayWait, Page::Capture}, 15000,
                         QStringLiteral("calibration window opening the downward cameras"))) {
        return false;
    }
    if (m_d.page() == Page::OverlayWait) {
        m_d.shot(QStringLiteral("07-wait-downward"));
    }
    return m_d.waitForAppLog(imageTaken(5), 2, kPairCaptureMs,
                             QStringLiteral("downward capture under way")) &&
           m_d.waitForPage({Page::Capture}, 5000, QStringLiteral("live downward capture")) &&
           m_d.shot(QStringLiteral("08-downward-capture")) &&
           m_d.waitForPage({Page::OverlayButton}, kPairCaptureMs,
                           QStringLiteral("downward-finished overlay")) &&
           m_d.waitForAppLog(imageTaken(25), 2, 5000, QStringLiteral("26 downward images")) &&
           m_d.shot(QStringLiteral("09-downward-finished")) &&
           m_d.press(QStringLiteral("downward finished OK"));
}

bool ScenarioRunner::awaitResult(bool expectOk) {
    if (!awaitAnyResult()) {
        return false;
    }
    if ((m_d.page() == Page::Ok) != expectOk) {
        return m_d.waitForPage({expectOk ? Page::Ok : Page::Ng}, 0,
                               QStringLiteral("the expected result page"));
    }
    return true;
}

bool ScenarioRunner::ngOffersScreenCheck() {
    // The reason comes with the report, a moment after the page.
    for (int i = 0; i < 50 && m_d.page() == Page::Ng && m_d.screen().screenCheckButton().isNull();
         ++i) {
        m_d.settle(200);
    }
    return m_d.expect(m_d.page() == Page::Ng && !m_d.screen().screenCheckButton().isNull(),
                      QStringLiteral("the %1 offers no screen size check")
                          .arg(WizardScreen::name(m_d.page()))) &&
           m_d.shot(QStringLiteral("11-ng-board-size"));
}

bool ScenarioRunner::awaitAnyResult() {
    if (!m_d.waitForPage({Page::Progress, Page::Ok, Page::Ng}, 10000,
                         QStringLiteral("main window back after the capture"))) {
        return false;
    }
    if (m_d.page() == Page::Progress) {
        m_d.shot(QStringLiteral("10-progress"));
    }
    if (!m_d.waitForPage({Page::Ok, Page::Ng}, kCalculationMs,
                         QStringLiteral("calibration result page"))) {
        return false;
    }
    return m_d.shot(m_d.page() == Page::Ok ? QStringLiteral("11-ok") : QStringLiteral("11-ng"));
}

bool ScenarioRunner::progressOfThisRun() {
    if (!m_d.waitForPage({Page::Progress, Page::Ok, Page::Ng}, 10000,
                         QStringLiteral("main window back after the capture"))) {
        return false;
    }
    m_d.settle();
    return m_d.shot(QStringLiteral("13-progress-of-this-run")) &&
           m_d.expect(m_d.page() == Page::Progress,
                      QStringLiteral("the main window showed the %1 of an earlier run instead of "
                                     "this run's progress")
                          .arg(WizardScreen::name(m_d.page()))) &&
           m_d.expect(m_d.screen().progressFill() < 0.99,
                      QStringLiteral("this run's progress bar is full before its last image"));
}

bool ScenarioRunner::confirmOkAndReboot() {
    return m_d.press(QStringLiteral("OK on the result page")) &&
           m_d.waitForSimLog(QStringLiteral("reboot requested"), 20000,
                             QStringLiteral("reboot over the console")) &&
           m_d.waitForPage({Page::Link}, 20000,
                           QStringLiteral("link page while the drone restarts")) &&
           m_d.shot(QStringLiteral("12-rebooting"));
}

bool ScenarioRunner::checkScreenSize(double trueMmPerPx) {
    constexpr double kCardWidthMm = 85.60;
    const int target = int(std::lround(kCardWidthMm / trueMmPerPx));
    const Page from = m_d.page();
    if (!m_d.pressAt(m_d.screen().screenCheckButton(), QStringLiteral("screen size check")) ||
        !m_d.waitForPage({Page::ScreenCheck}, 5000, QStringLiteral("screen size check page")) ||
        !m_d.shot(QStringLiteral("14-screen-check"))) {
        return false;
    }
    // As a person with a card would: look, press the arrow keys, look again.
    for (int attempt = 0; attempt < 6 && m_d.screen().card().width() != target; ++attempt) {
        const int missing = target - m_d.screen().card().width();
        if (!m_d.key(missing > 0 ? QStringLiteral("Right") : QStringLiteral("Left"),
                     std::abs(missing), QStringLiteral("outline to the card"))) {
            return false;
        }
        m_d.settle(300);
    }
    return m_d.expect(m_d.page() == Page::ScreenCheck && m_d.screen().card().width() == target,
                      QStringLiteral("the card outline is %1 px wide after the arrow keys, a "
                                     "card is %2 px")
                          .arg(m_d.screen().card().width())
                          .arg(target)) &&
           m_d.shot(QStringLiteral("15-screen-checked")) &&
           m_d.press(QStringLiteral("save the screen size")) &&
           (from == Page::GuideLocked || from == Page::GuideReady
                ? m_d.waitForPage({Page::GuideLocked, Page::GuideReady}, 5000,
                                  QStringLiteral("guide page back from the screen size check"))
                : m_d.waitForPage({from}, 5000, QStringLiteral("back from the screen size check")));
}

bool ScenarioRunner::recalibrate(qint64* lockedMs) {
    if (!m_d.press(QStringLiteral("re-calibration")) ||
        !m_d.waitForPage({Page::GuideLocked}, 5000,
                         QStringLiteral("guide page with a fresh countdown")) ||
        !m_d.shot(QStringLiteral("12-guide-again"))) {
        return false;
    }
    const qint64 lockedAt = m_d.elapsedMs();
    if (!m_d.waitForPage({Page::GuideReady}, 15000,
                         QStringLiteral("start button unlocked after the new countdown"))) {
        return false;
    }
    *lockedMs = m_d.elapsedMs() - lockedAt;
    return true;
}

bool ScenarioRunner::deviceLostOnForwardFinished() {
    // Two overlays: the device overlay over the forward-finished one.
    if (!m_d.waitForAppLog(imageTaken(25), 1, kPairCaptureMs,
                           QStringLiteral("26 forward images")) ||
        !m_d.waitForPage({Page::OverlayButton}, 20000,
                         QStringLiteral("device overlay over the forward-finished overlay"), 2)) {
        return false;
    }
    m_d.settle();
    return m_d.shot(QStringLiteral("device-lost-on-forward-finished")) &&
           m_d.press(QStringLiteral("OK on the device overlay")) &&
           m_d.waitForPage({Page::Link, Page::GuideLocked, Page::GuideReady}, 10000,
                           QStringLiteral("main window after the device was lost")) &&
           m_d.shot(QStringLiteral("device-lost-main-window"));
}

bool ScenarioRunner::downwardCamerasNeverOpen(qint64* givenUpAfterMs) {
    const qint64 pressedAt = m_d.elapsedMs();
    if (!m_d.waitForPage({Page::OverlayWait}, 15000,
                         QStringLiteral("calibration window opening the downward cameras")) ||
        !m_d.shot(QStringLiteral("07-wait-downward")) ||
        !m_d.waitForPage({Page::OverlayButton}, 60000,
                         QStringLiteral("camera-failure overlay over the wait overlay"), 2)) {
        return false;
    }
    *givenUpAfterMs = m_d.elapsedMs() - pressedAt;
    qint64 shownAfterMs = 0;
    return pressRestart(QStringLiteral("camera-never-opens"), &shownAfterMs);
}

bool ScenarioRunner::cameraFailure(qint64* shownAfterMs) {
    return m_d.waitForPage({Page::OverlayButton}, 30000,
                           QStringLiteral("camera-failure overlay")) &&
           pressRestart(QStringLiteral("camera-failure"), shownAfterMs);
}

bool ScenarioRunner::pressRestart(const QString& shot, qint64* shownAfterMs) {
    m_d.settle();
    if (!m_d.shot(shot) || !m_d.press(QStringLiteral("restart the software"))) {
        return false;
    }
    const qint64 pressedAt = m_d.elapsedMs();
    if (!m_d.waitForPage({Page::GuideReady, Page::GuideLocked}, 10000,
                         QStringLiteral("main window after the camera failure"))) {
        return false;
    }
    *shownAfterMs = m_d.elapsedMs() - pressedAt;
    return m_d.shot(shot + QStringLiteral("-guide"));
}

bool ScenarioRunner::quitDuringCapture() {
    return m_d.waitForAppLog(imageTaken(3), 1, kPairCaptureMs,
                             QStringLiteral("forward capture under way")) &&
           m_d.waitForPage({Page::Capture}, 5000, QStringLiteral("live forward capture")) &&
           m_d.press(QStringLiteral("quit")) &&
           m_d.waitForPage({Page::OverlayQuit}, 5000, QStringLiteral("quit overlay")) &&
           m_d.shot(QStringLiteral("quit-overlay")) &&
           m_d.press(QStringLiteral("OK on the quit overlay")) &&
           m_d.waitForPage({Page::GuideReady}, 10000,
                           QStringLiteral("guide page after quitting")) &&
           m_d.shot(QStringLiteral("quit-guide")) &&
           m_d.waitForSimLog(QStringLiteral("quit"), 10000,
                             QStringLiteral("the data channel's \"quit\""));
}
