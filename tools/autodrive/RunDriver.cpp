#include "tools/autodrive/RunDriver.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>

RunDriver::RunDriver(XDisplay& display, QString shotsDir, LogSource appLog, LogSource simLog)
    : m_display(display),
      m_shotsDir(std::move(shotsDir)),
      m_appLog(std::move(appLog)),
      m_simLog(std::move(simLog)) {
    m_clock.start();
    if (!m_shotsDir.isEmpty()) {
        QDir().mkpath(m_shotsDir);
    }
}

void RunDriver::pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void RunDriver::note(const QString& text) {
    m_timeline << QStringLiteral("%1 s  %2").arg(m_clock.elapsed() / 1000.0, 6, 'f', 1).arg(text);
}

bool RunDriver::fail(const QString& message) {
    if (m_error.isEmpty()) {
        m_error = message;
        note(QStringLiteral("FAILED: ") + message);
    }
    return false;
}

void RunDriver::look() {
    m_image = m_display.grab();
    m_screen = WizardScreen(m_image);
    if (m_screen.page() != m_lastNoted) {
        m_lastNoted = m_screen.page();
        note(QStringLiteral("screen: ") + WizardScreen::name(m_lastNoted));
    }
}

bool RunDriver::waitForPage(std::initializer_list<Page> pages, int timeoutMs, const QString& what,
                            int overlayLayers) {
    if (failed()) {
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        look();
        if (m_image.isNull()) {
            return fail(QStringLiteral("%1: cannot read the screen: %2")
                            .arg(what, m_display.errorString()));
        }
        const bool layersMatch = overlayLayers < 0 || m_screen.overlayLayers() == overlayLayers;
        for (Page p : pages) {
            if (m_screen.page() == p && layersMatch) {
                return true;
            }
        }
        if (timer.elapsed() > timeoutMs) {
            return fail(QStringLiteral("%1: not seen within %2 s; the screen shows the %3 "
                                       "(%4 overlays)")
                            .arg(what)
                            .arg(timeoutMs / 1000.0)
                            .arg(WizardScreen::name(m_screen.page()))
                            .arg(m_screen.overlayLayers()));
        }
        pause(100);
    }
}

bool RunDriver::waitForAppLog(const QRegularExpression& line, int count, int timeoutMs,
                              const QString& what) {
    if (failed()) {
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        int seen = 0;
        for (const QString& l : m_appLog().split(QLatin1Char('\n'))) {
            seen += line.match(l).hasMatch() ? 1 : 0;
        }
        if (seen >= count) {
            return true;
        }
        if (timer.elapsed() > timeoutMs) {
            return fail(QStringLiteral("%1: the application's log has %2 of %3 lines matching "
                                       "\"%4\" after %5 s")
                            .arg(what)
                            .arg(seen)
                            .arg(count)
                            .arg(line.pattern())
                            .arg(timeoutMs / 1000.0));
        }
        pause(200);
    }
}

bool RunDriver::waitForSimLog(const QString& fragment, int timeoutMs, const QString& what) {
    if (failed()) {
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (!m_simLog().contains(fragment)) {
        if (timer.elapsed() > timeoutMs) {
            return fail(QStringLiteral("%1: the simulator did not log \"%2\" within %3 s")
                            .arg(what, fragment)
                            .arg(timeoutMs / 1000.0));
        }
        pause(200);
    }
    note(QStringLiteral("simulator: ") + fragment);
    return true;
}

bool RunDriver::expect(bool condition, const QString& what) {
    if (failed()) {
        return false;
    }
    return condition || fail(what);
}

bool RunDriver::press(const QString& what) {
    return pressAt(m_screen.button(), what);
}

bool RunDriver::key(const QString& keysym, int times, const QString& what) {
    if (failed()) {
        return false;
    }
    if (!m_display.key(keysym, times)) {
        return fail(QStringLiteral("%1: %2").arg(what, m_display.errorString()));
    }
    note(QStringLiteral("%1: %2 x %3").arg(what, keysym).arg(times));
    return true;
}

bool RunDriver::pressAt(const QRect& button, const QString& what) {
    if (failed()) {
        return false;
    }
    if (button.isNull()) {
        return fail(QStringLiteral("%1: the %2 has no button to press")
                        .arg(what, WizardScreen::name(m_screen.page())));
    }
    if (!m_display.click(button.center())) {
        return fail(QStringLiteral("%1: %2").arg(what, m_display.errorString()));
    }
    note(QStringLiteral("pressed %1 at (%2, %3)")
             .arg(what)
             .arg(button.center().x())
             .arg(button.center().y()));
    return true;
}

void RunDriver::settle(int ms) {
    if (!failed()) {
        pause(ms);
        look();
    }
}

bool RunDriver::shot(const QString& name) {
    if (failed() || m_shotsDir.isEmpty()) {
        return !failed();
    }
    const QString path = QDir(m_shotsDir).filePath(name + QStringLiteral(".png"));
    if (m_image.isNull() || !m_image.save(path)) {
        return fail(QStringLiteral("cannot save the screenshot %1").arg(path));
    }
    m_shots << path;
    note(QStringLiteral("screenshot ") + path);
    return true;
}
