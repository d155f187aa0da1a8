#pragma once

#include <QString>
#include <QWidget>

class Ui_GuidWidget;
class QTimer;

// Main-window page 1: the tutorial before a run. The start button stays locked
// for a 10-second countdown ("10s" ... "1s"); an interrupted countdown resumes
// from where it stopped.
class GuidWidget : public QWidget {
    Q_OBJECT

public:
    explicit GuidWidget(QWidget* parent = nullptr);
    ~GuidWidget() override;

    // Locks the start button and (re)starts the once-a-second countdown.
    void startGuid();
    void langueChange(QString langue);

    bool isStartLocked() const;

public slots:
    void onStartBtnClicked();
    void onTimeout();

private:
    Ui_GuidWidget* ui;
    QTimer* m_pTimer;
    int m_nCount = 10;
};
