#pragma once

#include "wizard/WizardPage.h"

class Ui_QuitBC;

// Quit confirmation of the calibration window: "确定" ends the run, the close
// button only hides the overlay and the run goes on.
class QuitBC : public WizardPage {
    Q_OBJECT

public:
    explicit QuitBC(QWidget* parent = nullptr);
    ~QuitBC() override;

public slots:
    void onBtnClicked();

private:
    Ui_QuitBC* ui;
};
