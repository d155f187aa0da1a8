#include "app/AboutWidget.h"
#include "device/BCInstanceManager.h"
#include "wizard/BCWidget.h"
#include "wizard/GuidWidget.h"
#include "device/ImageDeal.h"
#include "tests/support/IsolatedEnvironment.h"
#include "app/MenuBar.h"
#include "app/NimbraDesktop.h"
#include "wizard/ProgressWidget.h"
#include "tests/support/TestMain.h"
#include "tests/support/XvfbServer.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QtTest>

// The main window on a private 1920 x 1080 X server, as a user would see it.
class TestNimbraDesktop : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void windowIsCentredAtItsFixedSize();
    void startsOnTheLinkPageWithoutDeviceInfo();
    void everyPageHasItsSheet();
    void heartbeatSwitchesBetweenLinkAndGuide();
    void resultChoosesOkOrNgPage();
    void progressShowGoesStraightToAnAlreadyKnownResult();
    void versionLabelShowsTheReportedVersion();
    void menuClosesOnReleaseOutsideIt();
    void aboutDialogFollowsTheWindow();
    void saveScreenshot();

private:
    NimbraDesktop* w = nullptr;
    QStackedWidget* stack() { return w->stack(); }
};

void TestNimbraDesktop::initTestCase() {
    w = NimbraDesktop::getInstance();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
}

void TestNimbraDesktop::windowIsCentredAtItsFixedSize() {
    QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), QSize(1920, 1080));
    QCOMPARE(w->size(), QSize(1080, 658));
    QCOMPARE(w->minimumSize(), QSize(1080, 658));
    QCOMPARE(w->maximumSize(), QSize(1080, 658));
    QCOMPARE(w->pos(), QPoint(420, 211));
    QCOMPARE(w->windowTitle(), QStringLiteral("NimbraDesktop 2.1.1116"));
    QCOMPARE(NimbraDesktop::getInstance(), w);
}

void TestNimbraDesktop::startsOnTheLinkPageWithoutDeviceInfo() {
    QCOMPARE(stack()->count(), 6);
    QCOMPARE(stack()->currentIndex(), int(NimbraDesktop::LinkPage));
    QVERIFY(w->statusInfo()->isHidden());
    const char* classes[] = {"LinkWidget", "GuidWidget", "ProgressWidget",
                             "OKWidget",   "NGWidget",   "ScreenSizeWidget"};
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(stack()->widget(i)->metaObject()->className(), classes[i]);
    }
    auto* status = w->findChild<QWidget*>("state");
    QVERIFY(status);
    QCOMPARE(status->height(), 70);
    auto* setBtn = w->findChild<QPushButton*>("setBtn");
    QVERIFY(setBtn);
    QCOMPARE(setBtn->size(), QSize(40, 40));
    QVERIFY(w->bcWidget()->isHidden());
}

void TestNimbraDesktop::everyPageHasItsSheet() {
    QVERIFY(w->styleSheet().contains("#222425"));
    for (int i = 0; i < stack()->count(); ++i) {
        QVERIFY2(!stack()->widget(i)->styleSheet().isEmpty(), qPrintable(w->pageNames().at(i)));
    }
    QVERIFY(w->bcWidget()->styleSheet().contains("#leftWidget"));
    // The sheet really applies: the status bar is painted black.
    const QImage shot = w->grab().toImage();
    QCOMPARE(shot.pixelColor(5, 658 - 5), QColor(0, 0, 0));
    QCOMPARE(shot.pixelColor(5, 5), QColor(0x22, 0x24, 0x25));
}

void TestNimbraDesktop::heartbeatSwitchesBetweenLinkAndGuide() {
    w->onStateChanged(true);
    QCOMPARE(stack()->currentIndex(), int(NimbraDesktop::GuidePage));
    QVERIFY(w->statusInfo()->isVisible());
    auto* guid = qobject_cast<GuidWidget*>(stack()->widget(NimbraDesktop::GuidePage));
    QVERIFY(guid->isStartLocked());

    w->onStateChanged(false);
    QCOMPARE(stack()->currentIndex(), int(NimbraDesktop::LinkPage));
    QVERIFY(w->statusInfo()->isHidden());
}

void TestNimbraDesktop::resultChoosesOkOrNgPage() {
    // Queued from the data channel's thread like a real run's result.
    ImageDeal* deal = BCInstanceManager::getInstance()->getImageDeal();
    QThread* sender = QThread::create([deal] { emit deal->result(true); });
    sender->start();
    QVERIFY(sender->wait(5000));
    delete sender;
    QCOMPARE(stack()->currentIndex(), int(NimbraDesktop::LinkPage));  // not yet: queued
    QTRY_COMPARE(stack()->currentIndex(), int(NimbraDesktop::OkPage));
    w->onResult(false);
    QCOMPARE(stack()->currentIndex(), int(NimbraDesktop::NgPage));
}

void TestNimbraDesktop::progressShowGoesStraightToAnAlreadyKnownResult() {
    ImageDeal* deal = BCInstanceManager::getInstance()->getImageDeal();
    auto* progress = qobject_cast<ProgressWidget*>(stack()->widget(NimbraDesktop::ProgressPage));

    emit deal->progress(51);
    w->onResult(true);
    w->setProgressShow();
    QCOMPARE(stack()->currentIndex(), int(NimbraDesktop::ProgressPage));
    QVERIFY(!progress->isFinished());

    emit deal->progress(52);
    QVERIFY(progress->isFinished());
    w->setProgressShow();
    QCOMPARE(stack()->currentIndex(), int(NimbraDesktop::OkPage));

    w->onResult(false);
    w->setProgressShow();
    QCOMPARE(stack()->currentIndex(), int(NimbraDesktop::NgPage));
    emit deal->progress(0);
    w->onStateChanged(false);
}

void TestNimbraDesktop::versionLabelShowsTheReportedVersion() {
    QCOMPARE(w->versionLabel()->text(), QStringLiteral("v3.3.9"));
    w->onVersion(QStringLiteral("v4.0.1"));
    QCOMPARE(w->versionLabel()->text(), QStringLiteral("v4.0.1"));
    w->onVersion(QStringLiteral("v3.3.9"));
}

void TestNimbraDesktop::menuClosesOnReleaseOutsideIt() {
    MenuBar* menu = w->menuBar();
    menu->setGeometry(800, 380, 200, 200);
    QTest::mouseClick(w->findChild<QPushButton*>("setBtn"), Qt::LeftButton);
    QVERIFY(menu->isVisible());

    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, QPoint(850, 400));
    QVERIFY(menu->isVisible());
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    QVERIFY(!menu->isVisible());
}

void TestNimbraDesktop::aboutDialogFollowsTheWindow() {
    AboutWidget* about = w->aboutWidget();
    w->move(100, 50);
    QTRY_COMPARE(about->pos(),
                 QPoint(100 + (1080 - about->width()) / 2, 50 + (658 - about->height()) / 2));
    w->move(420, 211);
    QTRY_COMPARE(w->pos(), QPoint(420, 211));
}

void TestNimbraDesktop::saveScreenshot() {
    const QString dir = QStringLiteral(NIMBRA_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QTest::qWait(200);
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    QVERIFY(shot.save(dir + "/main-window-link.png"));
    // Something drew the page: the title text is white on the dark background.
    const QImage img = shot.toImage().copy(w->geometry());
    int bright = 0;
    for (int y = 20; y < 120; ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) > 200)
                ++bright;
    QVERIFY2(bright > 100, "no title text drawn on the link page");
}

NIMBRA_XVFB_TEST_MAIN(TestNimbraDesktop, QSize(1920, 1080), NimbraDesktop::destroyInstance())

#include "tst_NimbraDesktop.moc"
