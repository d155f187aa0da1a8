#include "wizard/DeviceStateWidget.h"
#include "ui_DeviceStateWidget.h"

#include "app/NimbraDesktop.h"
#include "wizard/OverlayLook.h"

DeviceStateWidget::DeviceStateWidget(QWidget* parent)
    : QWidget(parent), ui(new Ui_DeviceStateWidget) {
    ui->setupUi(this);
    ui->title->setStyleSheet(
        QStringLiteral("font-size:26px; font-weight:500; color:rgb(34,34,34); line-height:37px;"));
    ui->text->setStyleSheet(
        QStringLiteral("font-size:18px; font-weight:400; color:rgb(34,34,34); line-height:25px;"));
    ui->ok->setStyleSheet(QStringLiteral("background:#007aff; border-radius:6px;"));
    ui->icon->setStyleSheet(QStringLiteral("image: url(:/image/war.png);"));
    connect(ui->ok, &QPushButton::clicked, this, &DeviceStateWidget::onOKBtnClicked);
    OverlayLook::apply(this);
}

DeviceStateWidget::~DeviceStateWidget() {
    delete ui;
}

void DeviceStateWidget::onOKBtnClicked() {
    OverlayLook::stopRun();
    hide();
    if (parentWidget()) {
        parentWidget()->hide();
    }
    NimbraDesktop::getInstance()->show();
}

void DeviceStateWidget::langueChange(QString langue) {
    NimbraDesktop* main = NimbraDesktop::getInstance();
    main->setLabelLangue(ui->title, langue);
    main->setLabelLangue(ui->text, langue);
    main->setButtonLangue(ui->ok, langue);
}
