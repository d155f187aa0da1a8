#include "app/AboutWidget.h"
#include "tests/support/IsolatedEnvironment.h"
#include "app/MenuBar.h"
#include "app/NimbraDesktop.h"
#include "wizard/ScreenSizeWidget.h"
#include "tests/support/TestMain.h"
#include "tests/support/UrlCatcher.h"
#include "tests/support/XvfbServer.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

// The settings menu and the About dialog on a private 1920 x 1080 X server.
class TestMenuBar : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void opensOnTheSettingsButtonAndClosesOnAReleaseOutside();
    void languageEntriesSwitchTheInterface();
    void aboutOpensModalAndItsLinkFollowsTheLanguage_data();
    void aboutOpensModalAndItsLinkFollowsTheLanguage();

private:
    QLabel* entry(const char* name) { return menu->findChild<QLabel*>(name); }
    void clickSettingsButton() {
        QTest::mouseClick(w->findChild<QPushButton*>("setBtn"), Qt::LeftButton);
    }

    NimbraDesktop* w = nullptr;
    MenuBar* menu = nullptr;
    UrlCatcher catcher;
};

void TestMenuBar::initTestCase() {
    // Nothing listens here: the heartbeat of the main window stays idle.
    qputenv("NIMBRA_DEVICE_ADDRESS", "127.0.0.101");
    w = NimbraDesktop::getInstance();
    menu = w->menuBar();
    QVERIFY(menu->isHidden());
    w->onLangueChanged(QStringLiteral("zh"));
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
}

void TestMenuBar::opensOnTheSettingsButtonAndClosesOnAReleaseOutside() {
    clickSettingsButton();
    QVERIFY(menu->isVisible());

    // On an entry that does nothing, and on the menu's own background.
    QTest::mouseClick(entry("text1"), Qt::LeftButton);
    QVERIFY(menu->isVisible());
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier,
                        menu->geometry().topLeft() + QPoint(3, 3));
    QVERIFY(menu->isVisible());

    // A button takes its own click: the menu stays.
    QTest::mouseClick(w->findChild<QPushButton*>("setBtn"), Qt::LeftButton);
    QVERIFY(menu->isVisible());

    // A release on a page's label reaches the main window, which closes it.
    QLabel* title = w->stack()->currentWidget()->findChild<QLabel*>("title");
    QVERIFY(title);
    QTest::mouseClick(title, Qt::LeftButton);
    QVERIFY(menu->isHidden());

    clickSettingsButton();
    QVERIFY(menu->isVisible());
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    QVERIFY(menu->isHidden());
}

void TestMenuBar::languageEntriesSwitchTheInterface() {
    QSignalSpy changed(menu, &MenuBar::langueChanged);
    QLabel* verName = w->findChild<QLabel*>("verName");
    const QString chinese = verName->text();

    clickSettingsButton();
    QTest::mousePress(entry("text4"), Qt::LeftButton);
    QCOMPARE(changed.count(), 0);  // switched on release only
    QTest::mouseRelease(entry("text4"), Qt::LeftButton);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toString(), QStringLiteral("en"));
    QVERIFY(menu->isHidden());
    QVERIFY(verName->text() != chinese);
    QCOMPARE(w->aboutWidget()->langue(), QStringLiteral("en"));

    clickSettingsButton();
    QTest::mouseClick(entry("text3"), Qt::LeftButton);
    QCOMPARE(changed.at(1).at(0).toString(), QStringLiteral("zh"));
    QVERIFY(menu->isHidden());
    QCOMPARE(verName->text(), chinese);
}

void TestMenuBar::aboutOpensModalAndItsLinkFollowsTheLanguage_data() {
    QTest::addColumn<QString>("langue");
    QTest::addColumn<QString>("url");
    QTest::newRow("zh") << QStringLiteral("zh") << QStringLiteral("https://nimbra.example/cn");
    QTest::newRow("en") << QStringLiteral("en") << QStringLiteral("https://nimbra.example/en");
}

void TestMenuBar::aboutOpensModalAndItsLinkFollowsTheLanguage() {
    QFETCH(QString, langue);
    QFETCH(QString, url);
    w->onLangueChanged(langue);
    AboutWidget* about = w->aboutWidget();
    QVERIFY(about->isHidden());
    catcher.urls.clear();

    // Inspected from inside the dialog's own event loop; the close button
    // ends it whatever was seen, so a failure cannot hang the suite.
    bool modal = false;
    bool menuHidden = false;
    QTimer::singleShot(0, this, [&] {
        for (int i = 0; i < 250 && !about->isVisible(); ++i) {
            QTest::qWait(20);
        }
        modal = QApplication::activeModalWidget() == about && about->isModal();
        menuHidden = menu->isHidden();
        QTest::mouseClick(about->findChild<QLabel*>("web"), Qt::LeftButton);
        QTest::mouseClick(about->findChild<QPushButton*>("btn"), Qt::LeftButton);
    });
    clickSettingsButton();
    QTest::mouseClick(entry("text2"), Qt::LeftButton);
    // exec() has returned: the close button ended the dialog.
    QVERIFY(about->isHidden());
    QVERIFY(modal);
    QVERIFY(menuHidden);
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl(url)});
    QCOMPARE(about->webUrl(), QUrl(url));
}

NIMBRA_XVFB_TEST_MAIN(TestMenuBar, QSize(1920, 1080),
                      (QDesktopServices::unsetUrlHandler(QStringLiteral("https")),
                       NimbraDesktop::destroyInstance()))

#include "tst_MenuBar.moc"
