#include "wizard/BCWidget.h"
#include "wizard/DeviceStateWidget.h"
#include "wizard/DownwardFinished.h"
#include "wizard/ForwardFinished.h"
#include "tests/support/IsolatedEnvironment.h"
#include "app/MenuBar.h"
#include "app/NimbraDesktop.h"
#include "wizard/QuitBC.h"
#include "wizard/VideoFiled.h"
#include "wizard/WaitOpenVideo.h"
#include "tests/support/TestMain.h"
#include "tests/support/XvfbServer.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

// Every text of every page, overlay and the menu, in either language, fits
// its widget: English texts are longer. Runs on the narrow (1440 x 900) screen,
// or on the one NIMBRA_FIT_SCREEN names ("1920x1080": the wide layout).
class TestEnglishFit : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void everyShownTextFits_data();
    void everyShownTextFits();

private:
    // Texts of the visible labels and buttons under root that do not fit.
    static QStringList clipped(QWidget* root);
};

void TestEnglishFit::initTestCase() {
    // Nothing listens here: the heartbeat of the main window stays idle.
    qputenv("NIMBRA_DEVICE_ADDRESS", "127.0.0.104");
    NimbraDesktop* w = NimbraDesktop::getInstance();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    static_cast<QWidget*>(w->bcWidget())->show();
    QVERIFY(QTest::qWaitForWindowExposed(w->bcWidget()));
}

QStringList TestEnglishFit::clipped(QWidget* root) {
    QStringList bad;
    // Whole, not cut off by any enclosing widget up to root.
    auto inside = [root](QWidget* child) {
        for (QWidget* outer = child->parentWidget(); outer; outer = outer->parentWidget()) {
            const QRect box(child->mapTo(outer, QPoint(0, 0)), child->size());
            if (!outer->rect().contains(box)) {
                return false;
            }
            if (outer == root) {
                break;
            }
        }
        return true;
    };
    for (QLabel* label : root->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->text().isEmpty()) {
            continue;
        }
        const QRect room = label->contentsRect();
        const bool fits =
            label->wordWrap()
                ? label->heightForWidth(room.width()) <= room.height() + 1
                : label->fontMetrics().horizontalAdvance(label->text()) <= room.width();
        if (!fits || !inside(label)) {
            bad << label->objectName() + ": " + label->text();
        }
    }
    for (QPushButton* button : root->findChildren<QPushButton*>()) {
        if (!button->isVisible() || button->text().isEmpty()) {
            continue;
        }
        if (button->fontMetrics().horizontalAdvance(button->text()) > button->width() ||
            !inside(button)) {
            bad << button->objectName() + ": " + button->text();
        }
    }
    return bad;
}

void TestEnglishFit::everyShownTextFits_data() {
    QTest::addColumn<QString>("langue");
    QTest::newRow("en") << QStringLiteral("en");
    QTest::newRow("zh") << QStringLiteral("zh");
}

void TestEnglishFit::everyShownTextFits() {
    QFETCH(QString, langue);
    NimbraDesktop* w = NimbraDesktop::getInstance();
    BCWidget* bc = w->bcWidget();
    w->onLangueChanged(langue);

    w->menuBar()->show();
    for (int i = 0; i < w->stack()->count(); ++i) {
        w->stack()->setCurrentIndex(i);
        // Retried while the layouts settle; a clipped text stays clipped.
        QTRY_VERIFY2(clipped(w).isEmpty(), qPrintable(clipped(w).join(" | ")));
    }
    w->menuBar()->hide();

    // The longer step title, with the guidance tip shown.
    bc->onImageChanged(VideoShow::DownwardLeft);
    bc->onFlightStateChange(ImageCapture::MoveAway);
    bc->waitOverlay()->hide();
    QTRY_VERIFY2(clipped(bc).isEmpty(), qPrintable(clipped(bc).join(" | ")));

    bc->waitOverlay()->setVideoType(WaitOpenVideo::Downward);
    const QList<QWidget*> overlays = {
        bc->waitOverlay(), bc->forwardFinishedOverlay(), bc->downwardFinishedOverlay(),
        bc->quitOverlay(), bc->deviceOverlay(),          bc->videoFailedOverlay()};
    for (QWidget* overlay : overlays) {
        overlay->show();
        QTest::qWait(20);
        const QStringList bad = clipped(overlay);
        overlay->hide();
        QVERIFY2(bad.isEmpty(),
                 qPrintable(QString(overlay->metaObject()->className()) + ": " + bad.join(" | ")));
    }
}

namespace {
// NIMBRA_FIT_SCREEN="WxH" picks another screen than the narrow 1440 x 900.
QSize fitScreen() {
    const QList<QByteArray> size = qgetenv("NIMBRA_FIT_SCREEN").split('x');
    return size.size() == 2 ? QSize(size[0].toInt(), size[1].toInt()) : QSize(1440, 900);
}
}  // namespace

NIMBRA_XVFB_TEST_MAIN(TestEnglishFit, fitScreen(), NimbraDesktop::destroyInstance())

#include "tst_EnglishFit.moc"
