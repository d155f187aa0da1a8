#pragma once

#include "Calibration/report/RunReportSummary.h"
#include "wizard/WizardPage.h"

#include <optional>

class Ui_OKWidget;

// Main-window page 3: the calibration succeeded; "确定" reboots the drone.
// Once the run's report is written, one line gives each pair's RMS and
// baseline, and "查看报告" opens the report.
class OKWidget : public WizardPage {
    Q_OBJECT

public:
    explicit OKWidget(QWidget* parent = nullptr);
    ~OKWidget() override;

    void langueChange(QString langue) override;
    void resetForRun() override;
    // The report of the run that ended (ignored unless the run passed).
    void showRunReport(const RunReportSummary& report);

public slots:
    void onBtnClicked();
    void onReportClicked();

private:
    void showQuality();

    Ui_OKWidget* ui;
    std::optional<RunReportSummary> m_report;
};
