#pragma once

#include "wizard/WizardPage.h"

class Ui_DownwardFinished;

// Overlay at the end of the downward pair: its button closes the calibration
// window and shows the main window's progress page.
class DownwardFinished : public WizardPage {
    Q_OBJECT

public:
    explicit DownwardFinished(QWidget* parent = nullptr);
    ~DownwardFinished() override;

public slots:
    void onBtnClicked();

private:
    Ui_DownwardFinished* ui;
};
