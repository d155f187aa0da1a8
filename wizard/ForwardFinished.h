#pragma once

#include "wizard/WizardPage.h"

class Ui_ForwardFinished;

// Overlay between the forward and the downward pair: tells the user to turn
// the drone; its button switches the run to the downward cameras.
class ForwardFinished : public WizardPage {
    Q_OBJECT

public:
    explicit ForwardFinished(QWidget* parent = nullptr);
    ~ForwardFinished() override;

    // Also stops the clip: a hidden overlay decodes nothing.
    void resetForRun() override;

public slots:
    void startShow();
    void onBtnClicked();

private:
    Ui_ForwardFinished* ui;
};
