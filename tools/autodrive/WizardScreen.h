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

    static QString name(Page page);

private:
    Page m_page = Page::Unknown;
    QRect m_button;
    QRect m_quit;
    int m_overlayLayers = 0;
    double m_progressFill = -1;
};
