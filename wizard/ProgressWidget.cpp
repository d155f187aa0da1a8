#include "wizard/ProgressWidget.h"
#include "ui_ProgressWidget.h"

#include "device/BCInstanceManager.h"
#include "device/ImageDeal.h"

#include <QLabel>

ProgressWidget::ProgressWidget(QWidget* parent)
    : WizardPage(Kind::Page, parent), ui(new Ui_ProgressWidget) {
    ui->setupUi(this);
    setTranslatedTexts({ui->title}, {});
    ImageDeal* deal = BCInstanceManager::getInstance()->getImageDeal();
    connect(deal, &ImageDeal::progress, ui->progressBar, &QProgressBar::setValue);

    // Hidden until the maps travel to the drone; a run ends with its result.
    m_pUpload = new QLabel(this);
    m_pUpload->setObjectName(QStringLiteral("upload"));
    m_pUpload->setStyleSheet(QStringLiteral("font-size: 14px; color: #FFFFFF;"));
    m_pUpload->setAlignment(Qt::AlignCenter);
    ui->progressLayout->insertWidget(ui->progressLayout->indexOf(ui->progressBar) + 1, m_pUpload, 0,
                                     Qt::AlignHCenter);
    connect(deal, &ImageDeal::uploadProgress, this, &ProgressWidget::showUpload);
    connect(deal, &ImageDeal::result, this, [this] {
        m_uploadPercent = -1;
        updateUploadText();
    });
    updateUploadText();
}

ProgressWidget::~ProgressWidget() {
    delete ui;
}

bool ProgressWidget::isFinished() const {
    return ui->progressBar->value() == 52;
}

int ProgressWidget::value() const {
    return ui->progressBar->value();
}

void ProgressWidget::resetForRun() {
    ui->progressBar->setValue(0);
    m_uploadPercent = -1;
    updateUploadText();
}

void ProgressWidget::langueChange(QString langue) {
    WizardPage::langueChange(langue);
    updateUploadText();
}

void ProgressWidget::showUpload(qint64 delivered, qint64 total) {
    m_uploadPercent = total > 0 ? static_cast<int>(delivered * 100 / total) : 100;
    updateUploadText();
}

void ProgressWidget::updateUploadText() {
    m_pUpload->setVisible(m_uploadPercent >= 0);
    if (m_uploadPercent < 0) {
        m_pUpload->clear();
        return;
    }
    // This page's own two texts, kept here in both languages rather than in
    // the shared translation table.
    m_pUpload->setText(
        langue() == QLatin1String("en")
            ? QStringLiteral("Sending the calibration to the drone… %1 %").arg(m_uploadPercent)
            : QStringLiteral("正在把标定结果发送到无人机… %1%").arg(m_uploadPercent));
}
