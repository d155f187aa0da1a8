#pragma once

#include "wizard/WizardPage.h"

class Ui_DeviceStateWidget;

// Notice that the drone went away during a run; its button ends the run.
class DeviceStateWidget : public WizardPage {
    Q_OBJECT

public:
    explicit DeviceStateWidget(QWidget* parent = nullptr);
    ~DeviceStateWidget() override;

public slots:
    void onOKBtnClicked();

private:
    Ui_DeviceStateWidget* ui;
};
