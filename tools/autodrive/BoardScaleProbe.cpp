#include "tools/autodrive/BoardScaleProbe.h"

#include "Calibration/BCBoard.h"
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
    // The same screen metrics the data channel hands to the ordering tasks.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen && screen->geometry().width() > 0) {
        scale.mmPerPx = screen->physicalSize().width() / screen->geometry().width();
    }
    window.hide();
    return scale;
}
