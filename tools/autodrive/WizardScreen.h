#pragma once

#include <QImage>
#include <QRect>
#include <QString>

// Tells which page or overlay of NimbraDesktop a screenshot shows, from the
// flat colours its style sheets give the buttons and badges, and where the
// button to press is. Works in both languages: no text is read.
class WizardScreen {
public:
    enum class Page {
        Unknown,
        Link,           // main window, link page (Wi-Fi badge, no button)
        GuideLocked,    // guide page, start button grey during the countdown
        GuideReady,     // guide page, start button blue
        Capture,        // calibration window, no overlay
        OverlayWait,    // calibration window under the camera wait overlay
        OverlayButton,  // calibration window under an overlay with a blue button
        OverlayQuit,    // calibration window under the quit confirmation
        Progress,       // main window, progress page
        Ok,             // main window, OK page
        Ng,             // main window, NG page
        ScreenCheck,    // main window, screen size check (gold card outline)
    };

    explicit WizardScreen(const QImage& screenshot);

    Page page() const { return m_page; }
    // The button that moves this page on (start, overlay button, quit button,
    // OK/NG page button), screen pixels; null when the page has none.
    QRect button() const { return m_button; }
    // The calibration window's own quit button when it is visible and not
    // covered by an overlay; null otherwise.
    QRect quitButton() const { return m_quit; }
    // How many overlays lie on the calibration window (each darkens what lies
    // under it once): 0 when none shows or the screen shows no calibration
    // window, else 1 or 2.
    int overlayLayers() const { return m_overlayLayers; }
    // On the progress page, the share of the bar that is filled (0 to 1);
    // -1 on any other page.
    double progressFill() const { return m_progressFill; }
    // The gold "screen size check" button of the guide or NG page; null when
    // the page shows none.
    QRect screenCheckButton() const { return m_screenCheckButton; }
    // On the screen size check, the card outline (its width is the card's
    // width in screen pixels; a card taller than the page is cut); null on
    // any other page.
    QRect card() const { return m_card; }

    static QString name(Page page);

private:
    Page m_page = Page::Unknown;
    QRect m_button;
    QRect m_quit;
    int m_overlayLayers = 0;
    double m_progressFill = -1;
    QRect m_screenCheckButton;
    QRect m_card;
};
