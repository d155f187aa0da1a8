#include "wizard/OKWidget.h"
#include "ui_OKWidget.h"

#include "app/NimbraDesktop.h"
#include "wizard/RunResultTexts.h"

OKWidget::OKWidget(QWidget* parent) : WizardPage(Kind::Page, parent), ui(new Ui_OKWidget) {
    ui->setupUi(this);
    setTranslatedTexts({ui->title, ui->text}, {ui->okBtn, ui->reportBtn});
    connect(ui->okBtn, &QPushButton::clicked, this, &OKWidget::onBtnClicked);
    connect(ui->reportBtn, &QPushButton::clicked, this, &OKWidget::onReportClicked);
    showQuality();
}

OKWidget::~OKWidget() {
    delete ui;
}

void OKWidget::langueChange(QString langue) {
    WizardPage::langueChange(langue);
    showQuality();
}

void OKWidget::resetForRun() {
    WizardPage::resetForRun();
    m_report.reset();
    showQuality();
}

void OKWidget::showRunReport(const RunReportSummary& report) {
    if (!report.readable || !report.succeeded) {
        return;
    }
    m_report = report;
    showQuality();
}

void OKWidget::showQuality() {
    ui->quality->setText(
        m_report
            ? RunResultTexts::quality(*m_report, [this](const QString& zh) { return inLangue(zh); })
            : QString());
    ui->quality->setVisible(m_report.has_value());
    ui->reportBtn->setVisible(m_report.has_value());
}

void OKWidget::onBtnClicked() {
    NimbraDesktop::getInstance()->reboot();
}

void OKWidget::onReportClicked() {
    if (m_report) {
        RunResultTexts::openReport(*m_report);
    }
}
