#pragma once

#include "Calibration/ScreenScale.h"
#include "wizard/WizardPage.h"

class Ui_ScreenSizeWidget;
class QKeyEvent;

// Main-window page 5: the screen size check. An ID-1 card outline (85.60 mm
// wide) is drawn at the width the screen's millimetres per pixel give; the
// user holds a real card against it and adjusts the outline with the slider
// or the arrow keys (Left/Down narrower, Right/Up wider by one pixel,
// PageDown/PageUp by ten) until both match. "保存" stores the corrected
// millimetres per pixel for this screen (ScreenScale), "取消" leaves the
// stored value as it was; both emit finished.
class ScreenSizeWidget : public WizardPage {
    Q_OBJECT

public:
    // Outline widths the page can show: from 20 pixels per inch (a large TV)
    // up to what fits the page's width (about 280 pixels per inch).
    static int minCardWidthPx();
    static constexpr int kMaxCardWidthPx = 960;
    // The outline's width when nothing better is known: 96 pixels per inch.
    static constexpr double kFallbackMmPerPx = 25.4 / 96.0;

    explicit ScreenSizeWidget(QWidget* parent = nullptr);
    ~ScreenSizeWidget() override;

    // Starts a check of this screen: the outline at the stored width, else at
    // the reported one when it is plausible, else at 96 pixels per inch.
    void begin(const ScreenScale::Screen& screen);

    int cardWidthPx() const;
    void setCardWidthPx(int widthPx);
    // What the outline's width says: 85.60 mm over its pixels.
    double mmPerPx() const;
    ScreenScale::Screen screen() const { return m_screen; }

    void langueChange(QString langue) override;

signals:
    void finished(bool saved);

public slots:
    void onSaveClicked();
    void onCancelClicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showValues();

    Ui_ScreenSizeWidget* ui;
    ScreenScale::Screen m_screen;
    bool m_begun = false;
};
