#include "wizard/DownwardFinished.h"
#include "ui_DownwardFinished.h"

#include "app/NimbraDesktop.h"

DownwardFinished::DownwardFinished(QWidget* parent)
    : WizardPage(Kind::Overlay, parent), ui(new Ui_DownwardFinished) {
    ui->setupUi(this);
    ui->title->setStyleSheet(QStringLiteral(
        "font-size:26px; font-weight:500; color:rgba(34,34,34,1); line-height:37px;"));
    ui->text->setStyleSheet(QStringLiteral(
        "font-size:18px; font-weight:500; color:rgba(34,34,34,1); line-height:25px;"));
    ui->btn->setStyleSheet(QStringLiteral("background:rgba(0,122,255,1); border-radius:6px;"));
    setTranslatedTexts({ui->title, ui->text}, {ui->btn});
    connect(ui->btn, &QPushButton::clicked, this, &DownwardFinished::onBtnClicked);
}

DownwardFinished::~DownwardFinished() {
    delete ui;
}

void DownwardFinished::onBtnClicked() {
    // The run goes on without the window: the data channel still computes
    // and uploads.
    closeCalibrationWindow();
    NimbraDesktop::getInstance()->setProgressShow();
}
