#pragma once

#include "wizard/WizardPage.h"

class QLabel;
class Ui_ProgressWidget;

// Main-window page 2: the calculation's progress, 0..52 images handled, and
// then, until the drone has received the maps, how far their upload has come.
class ProgressWidget : public WizardPage {
    Q_OBJECT

public:
    explicit ProgressWidget(QWidget* parent = nullptr);
    ~ProgressWidget() override;

    // True once the data channel has reported 52, its last value before the
    // result.
    bool isFinished() const;
    int value() const;
    // A new run's calculation starts from zero: an earlier run's 52 would
    // make the main window show that run's result at this one's end.
    void resetForRun() override;
    void langueChange(QString langue) override;

private:
    void showUpload(qint64 delivered, qint64 total);
    void updateUploadText();

    Ui_ProgressWidget* ui;
    QLabel* m_pUpload = nullptr;
    int m_uploadPercent = -1;  // no upload under way
};
