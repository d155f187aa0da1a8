#include "wizard/NGWidget.h"
#include "ui_NGWidget.h"

#include "app/NimbraDesktop.h"
#include "wizard/RunResultTexts.h"

NGWidget::NGWidget(QWidget* parent) : WizardPage(Kind::Page, parent), ui(new Ui_NGWidget) {
    ui->setupUi(this);
    setTranslatedTexts({ui->title, ui->tips, ui->text1, ui->text2, ui->text3, ui->text4},
                       {ui->reBtn, ui->reportBtn, ui->checkBtn});
    connect(ui->reBtn, &QPushButton::clicked, this, &NGWidget::onBtnClicked);
    connect(ui->reportBtn, &QPushButton::clicked, this, &NGWidget::onReportClicked);
    connect(ui->checkBtn, &QPushButton::clicked, this, &NGWidget::onCheckClicked);
    showReason();
}

NGWidget::~NGWidget() {
    delete ui;
}

void NGWidget::langueChange(QString langue) {
    WizardPage::langueChange(langue);
    showReason();
}

void NGWidget::resetForRun() {
    WizardPage::resetForRun();
    m_report.reset();
    showReason();
}

void NGWidget::showRunReport(const RunReportSummary& report) {
    if (report.readable && report.succeeded) {
        return;
    }
    m_report = report;
    showReason();
}

void NGWidget::showReason() {
    const bool known = m_report.has_value();
    ui->reason->setText(known ? RunResultTexts::failureReason(
                                    *m_report, [this](const QString& zh) { return inLangue(zh); })
                              : QString());
    ui->reason->setVisible(known);
    ui->reportBtn->setVisible(known && m_report->readable);
    ui->checkBtn->setVisible(known && RunResultTexts::isBoardSizeFailure(*m_report));
}

void NGWidget::onBtnClicked() {
    NimbraDesktop::getInstance()->setGuideShow();
}

void NGWidget::onReportClicked() {
    if (m_report) {
        RunResultTexts::openReport(*m_report);
    }
}

void NGWidget::onCheckClicked() {
    NimbraDesktop::getInstance()->showScreenSizeCheck();
}
