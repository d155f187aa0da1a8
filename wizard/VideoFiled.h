#pragma once

#include "wizard/WizardPage.h"

class Ui_VideoFiled;

// Notice that the drone's cameras could not be switched on; its button ends
// the run and brings the main window back one second later.
class VideoFiled : public WizardPage {
    Q_OBJECT

public:
    static constexpr int kMainWindowDelayMs = 1000;

    explicit VideoFiled(QWidget* parent = nullptr);
    ~VideoFiled() override;

    // Also widens the button for a longer text.
    void langueChange(QString langue) override;

public slots:
    void onRestartClicked();

private:
    Ui_VideoFiled* ui;
};
