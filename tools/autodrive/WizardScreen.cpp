#include "tools/autodrive/WizardScreen.h"

#include "tools/autodrive/ColourRegionFinder.h"

#include <cstdlib>

namespace {

// Style sheet colours of the buttons and badges.
constexpr QRgb kGuideBlue = 0x2A72FB;
constexpr QRgb kLockedGrey = 0x898989;
constexpr QRgb kRed = 0xEF284F;    // calibration window quit, quit overlay, NG badge
constexpr QRgb kBlue = 0x007AFF;   // overlay and result page buttons
constexpr QRgb kGreen = 0x54D583;  // OK badge, progress chunk
constexpr QRgb kWhite = 0xFFFFFF;
constexpr QRgb kGold = 0xE0B040;  // screen size check: its buttons and the card outline
// The overlays darken what lies under them with black at alpha 77 of 255.
constexpr QRgb darkened(QRgb c) {
    return qRgb(qRed(c) * 178 / 255, qGreen(c) * 178 / 255, qBlue(c) * 178 / 255);
}

// A 150 x 40 button, or an overlay button that grew for a longer text.
const QSize kButtonMin(140, 36);
const QSize kButtonMax(420, 44);
// The calibration window's quit button is 150 x 46.
const QSize kQuitMin(146, 45);
const QSize kQuitMax(154, 48);

// The progress page's 367 x 8 bar: white, filled with green from the left as
// images are ordered, so its two parts together span the bar's width. The
// share that is green, or -1 when there is no such bar.
double progressBarFill(const ColourRegionFinder& finder) {
    auto barParts = [&](QRgb colour, int tolerance) {
        QVector<QRect> parts;
        for (const auto& r : finder.regions(colour, tolerance, 4)) {
            if (r.box.height() >= 6 && r.box.height() <= 10 && r.box.width() <= 372) {
                parts << r.box;
            }
        }
        return parts;
    };
    auto isBar = [](int left, int right) { return right - left + 1 >= 355; };
    const QVector<QRect> white = barParts(kWhite, 0);
    const QVector<QRect> green = barParts(kGreen, 3);
    for (const QRect& w : white) {
        if (isBar(w.left(), w.right())) {
            return 0.0;
        }
    }
    for (const QRect& g : green) {
        if (isBar(g.left(), g.right())) {
            return 1.0;
        }
        for (const QRect& w : white) {
            if (std::abs(w.top() - g.top()) <= 1 && w.left() > g.right() &&
                w.left() - g.right() <= 6 && isBar(g.left(), w.right())) {
                return double(g.width()) / double(w.right() - g.left() + 1);
            }
        }
    }
    return -1.0;
}

}  // namespace

WizardScreen::WizardScreen(const QImage& screenshot) {
    const ColourRegionFinder finder(screenshot);
    auto button = [&](QRgb colour) { return finder.largestBox(colour, kButtonMin, kButtonMax); };
    auto badge = [&](QRgb colour) {
        return !finder.largestBox(colour, QSize(30, 30), QSize(400, 400)).isNull();
    };

    // A card outline is far taller than any button.
    m_card = finder.largestBox(kGold, QSize(100, 60), QSize(1100, 700), 0);
    if (!m_card.isNull()) {
        m_page = Page::ScreenCheck;
        m_button = button(kBlue);
        return;
    }
    m_screenCheckButton = button(kGold);

    if (!(m_button = button(kGuideBlue)).isNull()) {
        m_page = Page::GuideReady;
        return;
    }
    if (!(m_button = button(kLockedGrey)).isNull()) {
        m_page = Page::GuideLocked;
        return;
    }
    m_quit = finder.largestBox(kRed, kQuitMin, kQuitMax, 2);
    if (!m_quit.isNull()) {
        m_page = Page::Capture;
        m_button = m_quit;
        return;
    }
    // Overlays can lie on one another (the camera-failure notice over the wait
    // overlay): the quit button is then darkened twice.
    if (!finder.largestBox(darkened(kRed), kQuitMin, kQuitMax, 4).isNull()) {
        m_overlayLayers = 1;
    } else if (!finder.largestBox(darkened(darkened(kRed)), kQuitMin, kQuitMax, 4).isNull()) {
        m_overlayLayers = 2;
    }
    if (m_overlayLayers > 0) {
        if (!(m_button = button(kBlue)).isNull()) {
            m_page = Page::OverlayButton;
        } else if (!(m_button = button(kRed)).isNull()) {
            m_page = Page::OverlayQuit;
        } else {
            m_page = Page::OverlayWait;
        }
        return;
    }
    if (!(m_button = button(kBlue)).isNull()) {
        if (badge(kGreen)) {
            m_page = Page::Ok;
        } else if (badge(kRed)) {
            m_page = Page::Ng;
        } else {
            m_button = QRect();
        }
        return;
    }
    m_progressFill = progressBarFill(finder);
    if (m_progressFill >= 0) {
        m_page = Page::Progress;
        return;
    }
    if (!finder.largestBox(kGuideBlue, QSize(20, 20), QSize(400, 400)).isNull()) {
        m_page = Page::Link;
    }
}

QString WizardScreen::name(Page page) {
    switch (page) {
        case Page::Unknown:
            return QStringLiteral("unknown");
        case Page::Link:
            return QStringLiteral("link page");
        case Page::GuideLocked:
            return QStringLiteral("guide page (counting down)");
        case Page::GuideReady:
            return QStringLiteral("guide page (start unlocked)");
        case Page::Capture:
            return QStringLiteral("calibration window");
        case Page::OverlayWait:
            return QStringLiteral("camera wait overlay");
        case Page::OverlayButton:
            return QStringLiteral("overlay with a button");
        case Page::OverlayQuit:
            return QStringLiteral("quit overlay");
        case Page::Progress:
            return QStringLiteral("progress page");
        case Page::Ok:
            return QStringLiteral("OK page");
        case Page::Ng:
            return QStringLiteral("NG page");
        case Page::ScreenCheck:
            return QStringLiteral("screen size check");
    }
    return QString();
}
