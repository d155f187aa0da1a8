#include "wizard/ProgressWidget.h"
#include "ui_ProgressWidget.h"

#include "device/BCInstanceManager.h"
#include "device/ImageDeal.h"

ProgressWidget::ProgressWidget(QWidget* parent)
    : WizardPage(Kind::Page, parent), ui(new Ui_ProgressWidget) {
    ui->setupUi(this);
    setTranslatedTexts({ui->title}, {});
    connect(BCInstanceManager::getInstance()->getImageDeal(), &ImageDeal::progress, ui->progressBar,
            &QProgressBar::setValue);
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
}
