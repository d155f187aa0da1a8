#include "tools/autodrive/BoardScaleProbe.h"

#include "Calibration/BCBoard.h"
#include "Calibration/ScreenScale.h"
#include "app/NimbraApplication.h"
#include "wizard/BCWidget.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

BoardScaleProbe::Scale BoardScaleProbe::measure() {
    Scale scale;
    BCWidget window;
    // The plain QWidget::show lays the window out without starting a run.
    static_cast<QWidget&>(window).show();
    if (!QTest::qWaitForWindowExposed(&window, 5000)) {
        return scale;
    }
    QTest::qWait(200);
    const BCBoard* board = window.board();
    scale.radiusPx = BCBoard::layoutFor(board->width(), board->height()).r;
    // The same screen metrics the board hands to the data channel, from
    // NimbraDesktop's own preferences.
    NimbraApplication::setSettingsIdentity();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        scale.mmPerPx = ScreenScale::mmPerPx(ScreenScale::describe(*screen));
    }
    window.hide();
    return scale;
}
