#include "Calibration/ScreenScale.h"
#include "app/NimbraDesktop.h"
#include "tests/support/IsolatedEnvironment.h"
#include "tests/support/XvfbServer.h"
#include "wizard/GuidWidget.h"
#include "wizard/ScreenSizeWidget.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStackedWidget>
#include <QtTest>

// The guide page on a screen that reports 1920 pixels as 1626 mm (an X
// server at 30 pixels per inch, as a TV reporting a wrong size would): the
// start button stays locked after the countdown until the screen size is
// checked against a card.
class TestGuideScreenCheck : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        qputenv("NIMBRA_DEVICE_ADDRESS", "127.0.0.79");
        main = NimbraDesktop::getInstance();
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main));
        guide = qobject_cast<GuidWidget*>(main->stack()->widget(NimbraDesktop::GuidePage));
        QVERIFY(guide);
        screen = ScreenScale::describe(*main->screen());
        QVERIFY2(!ScreenScale::reportIsPlausible(screen),
                 qPrintable(QString::number(screen.sizeMm.width())));
    }

    void startStaysLockedUntilTheScreenIsChecked() {
        main->setGuideShow();
        QVERIFY(guide->isScreenCheckAsked());
        countDown();
        QVERIFY(guide->isStartLocked());

        // Leaving the check without saving changes nothing.
        check(false);
        QVERIFY(guide->isStartLocked());
        QVERIFY(guide->isScreenCheckAsked());

        // Checked: unlocked at once, the countdown being over.
        check(true);
        QVERIFY(!guide->isScreenCheckAsked());
        QVERIFY(!guide->isStartLocked());
        QVERIFY(!ScreenScale::needsCheck(screen));

        // A check saved during the countdown does not cut it short.
        ScreenScale::forget(screen);
        main->setGuideShow();
        guide->onTimeout();  // "10s"
        check(true);
        QVERIFY(!guide->isScreenCheckAsked());
        QVERIFY(guide->isStartLocked());
        countDown();
        QVERIFY(!guide->isStartLocked());
    }

private:
    // The guide page's check button, one step of the outline, then "保存" or
    // "取消"; back on the guide page.
    void check(bool save) {
        QTest::mouseClick(guide->findChild<QPushButton*>("checkBtn"), Qt::LeftButton);
        QCOMPARE(main->stack()->currentIndex(), int(NimbraDesktop::ScreenSizePage));
        ScreenSizeWidget* page = main->screenSizeWidget();
        QTest::keyClick(page, Qt::Key_Right);
        QTest::mouseClick(page->findChild<QPushButton*>(save ? "saveBtn" : "cancelBtn"),
                          Qt::LeftButton);
        QCOMPARE(main->stack()->currentIndex(), int(NimbraDesktop::GuidePage));
    }
    // "10s" ... "1s", then the end of the countdown.
    void countDown() {
        for (int i = 0; i < 11; ++i) {
            guide->onTimeout();
        }
    }

    NimbraDesktop* main = nullptr;
    GuidWidget* guide = nullptr;
    ScreenScale::Screen screen;
};

int main(int argc, char* argv[]) {
    IsolatedEnvironment isolatedEnvironment;
    XvfbServer xvfb({QSize(1920, 1080)});
    xvfb.setDpi(30);
    if (!xvfb.start()) {
        qCritical("%s", qPrintable(xvfb.errorString()));
        return 1;
    }
    qputenv("DISPLAY", xvfb.display().toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("NimbraTest"));
    TestGuideScreenCheck tc;
    const int rc = QTest::qExec(&tc, argc, argv);
    NimbraDesktop::destroyInstance();
    return rc;
}

#include "tst_GuideScreenCheck.moc"
