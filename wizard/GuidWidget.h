#pragma once

#include <QString>
#include <QWidget>

class Ui_GuidWidget;
class QTimer;

// Main-window page 1: the tutorial before a run. The start button stays locked
// for a 10-second countdown ("10s" ... "1s"); an interrupted countdown resumes
// from where it stopped. On a screen whose reported size is missing or
// implausible and that was never checked against a card (ScreenScale), a
// note asks for the screen size check and the start button stays locked
// until it is done.
class GuidWidget : public QWidget {
    Q_OBJECT

public:
    explicit GuidWidget(QWidget* parent = nullptr);
    ~GuidWidget() override;

    // Locks the start button and (re)starts the once-a-second countdown.
    void startGuid();
    void langueChange(QString langue);

    bool isStartLocked() const;
    // Shows or hides the screen size note for the screen this page is on and
    // locks or unlocks the start button accordingly (the main window calls
    // it when a check ends).
    void updateScreenCheck();
    bool isScreenCheckAsked() const;

public slots:
    void onStartBtnClicked();
    void onTimeout();
    void onCheckBtnClicked();

private:
    Ui_GuidWidget* ui;
    QTimer* m_pTimer;
    int m_nCount = 10;
    bool m_bCountdownDone = false;
};
