#pragma once

#include "wizard/WizardPage.h"

class Ui_NGWidget;

// Main-window page 4: the calibration failed; tips and "重新标定" back to the
// guide page.
class NGWidget : public WizardPage {
    Q_OBJECT

public:
    explicit NGWidget(QWidget* parent = nullptr);
    ~NGWidget() override;

public slots:
    void onBtnClicked();

private:
    Ui_NGWidget* ui;
};
