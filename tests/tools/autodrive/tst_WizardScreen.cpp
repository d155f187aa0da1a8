// The page recognition the end-to-end driver relies on, on synthetic screens
// painted with the style sheets' colours (anti-aliased text on the buttons,
// overlays darkening what lies under them).
#include "tests/support/TestMain.h"
#include "tools/autodrive/WizardScreen.h"

#include <QPainter>
#include <QPainterPath>

namespace {

using Page = WizardScreen::Page;

// A dark 1920 x 1080 screen on which parts are painted in order.
class Screen {
public:
    Screen() : m_image(1920, 1080, QImage::Format_RGB32) { m_image.fill(QColor(0x22, 0x24, 0x25)); }

    Screen& button(QRect r, QRgb colour, const QString& text = QStringLiteral("确定 OK")) {
        QPainter p(&m_image);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(r, 6, 6);
        p.fillPath(path, QColor(colour));
        p.setPen(Qt::white);
        p.drawText(r, Qt::AlignCenter, text);
        return *this;
    }
    Screen& rect(QRect r, QRgb colour) {
        QPainter(&m_image).fillRect(r, QColor(colour));
        return *this;
    }
    Screen& disc(QPoint centre, int radius, QRgb colour) {
        QPainter p(&m_image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(colour));
        p.drawEllipse(centre, radius, radius);
        return *this;
    }
    // An overlay: black at alpha 77 over everything, then its white card.
    Screen& overlay() {
        QPainter p(&m_image);
        p.fillRect(m_image.rect(), QColor(0, 0, 0, 77));
        p.fillRect(QRect(640, 300, 640, 400), Qt::white);
        return *this;
    }
    // The calibration window: white board area, live quit button.
    Screen& calibrationWindow() {
        rect(QRect(500, 0, 1420, 1080), 0xFFFFFF);
        for (int x = 0; x < 27; ++x) {
            disc(QPoint(540 + 50 * x, 60), 18, 0x000000);
        }
        return button(QRect(175, 1014, 150, 46), 0xEF284F, QStringLiteral("退出"));
    }
    QImage image() const { return m_image; }

private:
    QImage m_image;
};

}  // namespace

class tst_WizardScreen : public QObject {
    Q_OBJECT

private slots:
    void recognisesEveryPage_data();
    void recognisesEveryPage();
};

void tst_WizardScreen::recognisesEveryPage_data() {
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("page");
    QTest::addColumn<QRect>("button");
    QTest::addColumn<int>("layers");
    QTest::addColumn<double>("fill");
    auto row = [](const char* name, const Screen& s, Page page, QRect button = QRect(),
                  int layers = 0, double fill = -1) {
        QTest::newRow(name) << s.image() << static_cast<int>(page) << button << layers << fill;
    };
    const QRect start(885, 734, 150, 40);
    const QRect card(885, 640, 150, 40);
    const QRect quit(175, 1014, 150, 46);

    row("empty dark screen", Screen(), Page::Unknown);
    // The link page: Wi-Fi badge, white dotted lines, no button.
    row("link",
        Screen().disc(QPoint(960, 400), 40, 0x2A72FB).rect(QRect(700, 400, 200, 3), 0xFFFFFF),
        Page::Link);
    row("guide counting down", Screen().button(start, 0x898989), Page::GuideLocked, start);
    row("guide unlocked", Screen().button(start, 0x2A72FB), Page::GuideReady, start);
    // The 1-px rule of the main window is grey too but no button.
    row("grey rule is no button", Screen().rect(QRect(420, 800, 1080, 1), 0x898989), Page::Unknown);
    row("calibration window", Screen().calibrationWindow(), Page::Capture, quit);
    row("wait overlay", Screen().calibrationWindow().overlay(), Page::OverlayWait, QRect(), 1);
    row("overlay with a button", Screen().calibrationWindow().overlay().button(card, 0x007AFF),
        Page::OverlayButton, card, 1);
    row("longer English overlay button",
        Screen().calibrationWindow().overlay().button(QRect(868, 640, 183, 40), 0x007AFF,
                                                      QStringLiteral("Restart the software")),
        Page::OverlayButton, QRect(868, 640, 183, 40), 1);
    // The camera-failure notice lies over the still visible wait overlay.
    row("overlay over an overlay",
        Screen().calibrationWindow().overlay().overlay().button(card, 0x007AFF),
        Page::OverlayButton, card, 2);
    row("quit overlay", Screen().calibrationWindow().overlay().button(card, 0xEF284F),
        Page::OverlayQuit, card, 1);
    row("OK page", Screen().disc(QPoint(960, 400), 40, 0x54D583).button(card, 0x007AFF), Page::Ok,
        card);
    row("NG page", Screen().disc(QPoint(960, 400), 40, 0xEF284F).button(card, 0x007AFF), Page::Ng,
        card);
    row("blue button alone is no result", Screen().button(card, 0x007AFF), Page::Unknown);
    row("progress empty", Screen().rect(QRect(776, 500, 367, 8), 0xFFFFFF), Page::Progress, QRect(),
        0, 0.0);
    row("progress half",
        Screen().rect(QRect(776, 500, 367, 8), 0xFFFFFF).rect(QRect(776, 500, 180, 8), 0x54D583),
        Page::Progress, QRect(), 0, 180.0 / 367);
    row("progress full", Screen().rect(QRect(776, 500, 367, 8), 0x54D583), Page::Progress, QRect(),
        0, 1.0);
    row("short white bar is no progress", Screen().rect(QRect(776, 500, 120, 8), 0xFFFFFF),
        Page::Unknown);
}

void tst_WizardScreen::recognisesEveryPage() {
    QFETCH(QImage, image);
    QFETCH(int, page);
    QFETCH(QRect, button);
    QFETCH(int, layers);
    QFETCH(double, fill);
    const WizardScreen screen(image);
    QCOMPARE(WizardScreen::name(screen.page()), WizardScreen::name(static_cast<Page>(page)));
    QCOMPARE(screen.overlayLayers(), layers);
    QVERIFY2(qAbs(screen.progressFill() - fill) < 0.01,
             qPrintable(QString::number(screen.progressFill())));
    if (!button.isNull()) {
        // Anti-aliased corners may cost the region a pixel at each edge.
        QVERIFY2(qAbs(screen.button().center().x() - button.center().x()) <= 1 &&
                     qAbs(screen.button().center().y() - button.center().y()) <= 1,
                 qPrintable(QStringLiteral("button at %1,%2 %3x%4")
                                .arg(screen.button().x())
                                .arg(screen.button().y())
                                .arg(screen.button().width())
                                .arg(screen.button().height())));
    } else {
        QVERIFY(screen.button().isNull() || page == static_cast<int>(Page::Capture));
    }
}

NIMBRA_GUI_TEST_MAIN(tst_WizardScreen)
#include "tst_WizardScreen.moc"
