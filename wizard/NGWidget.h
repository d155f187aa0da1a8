#pragma once

#include "Calibration/report/RunReportSummary.h"
#include "wizard/WizardPage.h"

#include <optional>

class Ui_NGWidget;

// Main-window page 4: the calibration failed; tips and "重新标定" back to the
// guide page. Once the run's report is written, the reason stands under the
// title in the user's language, "查看报告" opens the report, and when the
// board's size was wrong the screen size check is offered.
class NGWidget : public WizardPage {
    Q_OBJECT

public:
    explicit NGWidget(QWidget* parent = nullptr);
    ~NGWidget() override;

    void langueChange(QString langue) override;
    // A new run: no reason of an earlier run may stand for it.
    void resetForRun() override;
    // The report of the run that ended (ignored when the run passed).
    void showRunReport(const RunReportSummary& report);

public slots:
    void onBtnClicked();
    void onReportClicked();
    void onCheckClicked();

private:
    void showReason();

    Ui_NGWidget* ui;
    std::optional<RunReportSummary> m_report;
};
