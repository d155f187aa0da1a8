#include "wizard/OKWidget.h"
#include "ui_OKWidget.h"

#include "app/NimbraDesktop.h"

OKWidget::OKWidget(QWidget* parent) : QWidget(parent), ui(new Ui_OKWidget) {
    ui->setupUi(this);
    connect(ui->okBtn, &QPushButton::clicked, this, &OKWidget::onBtnClicked);
}

OKWidget::~OKWidget() {
    delete ui;
}

void OKWidget::onBtnClicked() {
    NimbraDesktop::getInstance()->reboot();
}

void OKWidget::langueChange(QString langue) {
    NimbraDesktop* main = NimbraDesktop::getInstance();
    main->setLabelLangue(ui->title, langue);
    main->setLabelLangue(ui->text, langue);
    main->setButtonLangue(ui->okBtn, langue);
}
