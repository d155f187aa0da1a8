#include "wizard/DeviceStateWidget.h"
#include "ui_DeviceStateWidget.h"

DeviceStateWidget::DeviceStateWidget(QWidget* parent)
    : WizardPage(Kind::Overlay, parent), ui(new Ui_DeviceStateWidget) {
    ui->setupUi(this);
    ui->title->setStyleSheet(
        QStringLiteral("font-size:26px; font-weight:500; color:rgb(34,34,34); line-height:37px;"));
    ui->text->setStyleSheet(
        QStringLiteral("font-size:18px; font-weight:400; color:rgb(34,34,34); line-height:25px;"));
    ui->ok->setStyleSheet(QStringLiteral("background:#007aff; border-radius:6px;"));
    ui->icon->setStyleSheet(QStringLiteral("image: url(:/image/war.png);"));
    setTranslatedTexts({ui->title, ui->text}, {ui->ok});
    connect(ui->ok, &QPushButton::clicked, this, &DeviceStateWidget::onOKBtnClicked);
}

DeviceStateWidget::~DeviceStateWidget() {
    delete ui;
}

void DeviceStateWidget::onOKBtnClicked() {
    endRun();
}
