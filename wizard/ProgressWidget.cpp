#include "wizard/ProgressWidget.h"
#include "ui_ProgressWidget.h"

#include "device/BCInstanceManager.h"
#include "device/ImageDeal.h"
#include "app/NimbraDesktop.h"

ProgressWidget::ProgressWidget(QWidget* parent) : QWidget(parent), ui(new Ui_ProgressWidget) {
    ui->setupUi(this);
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

void ProgressWidget::langueChange(QString langue) {
    NimbraDesktop::getInstance()->setLabelLangue(ui->title, langue);
}
