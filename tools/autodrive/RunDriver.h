#pragma once

#include "tools/autodrive/WizardScreen.h"
#include "tools/autodrive/XDisplay.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStringList>

#include <functional>
#include <initializer_list>

// Steps through NimbraDesktop's pages from the outside: waits (always with a
// limit) until the screen shows a page or a log holds a line, presses the
// page's button, saves screenshots. The first failed wait ends the run: every
// later call returns false at once and error() says what was awaited, for how
// long, and what the screen showed instead.
class RunDriver {
public:
    using Page = WizardScreen::Page;
    // Returns a log's whole text so far (the application's debug.log, the
    // simulator's event log).
    using LogSource = std::function<QString()>;

    RunDriver(XDisplay& display, QString shotsDir, LogSource appLog, LogSource simLog);

    // Polls the screen about five times a second until it shows one of the
    // pages (with exactly overlayLayers overlays on the calibration window
    // when that is not negative); `what` names the step in messages.
    bool waitForPage(std::initializer_list<Page> pages, int timeoutMs, const QString& what,
                     int overlayLayers = -1);
    // Waits until the application's (or simulator's) log has at least `count`
    // lines matching the expression.
    bool waitForAppLog(const QRegularExpression& line, int count, int timeoutMs,
                       const QString& what);
    bool waitForSimLog(const QString& fragment, int timeoutMs, const QString& what);

    // False, with `what` as the failure, unless condition holds (a check of
    // the screen last seen).
    bool expect(bool condition, const QString& what);

    // Clicks the middle of the button of the page last seen.
    bool press(const QString& what);
    // Clicks the middle of `button` (screen pixels, from the page last seen).
    bool pressAt(const QRect& button, const QString& what);
    // Presses a key `times` times (see XDisplay::key), then looks again.
    bool key(const QString& keysym, int times, const QString& what);
    // Saves the last screenshot as <shotsDir>/<name>.png.
    bool shot(const QString& name);
    // Lets a page that has just appeared finish painting (its tutorial clip's
    // first frame, the live picture), then looks again.
    void settle(int ms = 800);

    Page page() const { return m_screen.page(); }
    const WizardScreen& screen() const { return m_screen; }
    qint64 elapsedMs() const { return m_clock.elapsed(); }
    bool failed() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; }
    // "12.3 s  <step>" lines, one per page change, press and shot.
    QStringList timeline() const { return m_timeline; }
    QStringList shots() const { return m_shots; }

    // Lets the event loop run (child processes, sockets) for ms milliseconds.
    static void pause(int ms);

private:
    void look();
    bool fail(const QString& message);
    void note(const QString& text);

    XDisplay& m_display;
    QString m_shotsDir;
    LogSource m_appLog;
    LogSource m_simLog;
    QImage m_image;
    WizardScreen m_screen{QImage()};
    Page m_lastNoted = Page::Unknown;
    QElapsedTimer m_clock;
    QString m_error;
    QStringList m_timeline;
    QStringList m_shots;
};
