#pragma once

#include "wizard/WizardPage.h"

class Ui_OKWidget;

// Main-window page 3: the calibration succeeded; "确定" reboots the drone.
class OKWidget : public WizardPage {
    Q_OBJECT

public:
    explicit OKWidget(QWidget* parent = nullptr);
    ~OKWidget() override;

public slots:
    void onBtnClicked();

private:
    Ui_OKWidget* ui;
};
