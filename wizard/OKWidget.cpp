#include "wizard/OKWidget.h"
#include "ui_OKWidget.h"

#include "app/NimbraDesktop.h"

OKWidget::OKWidget(QWidget* parent) : WizardPage(Kind::Page, parent), ui(new Ui_OKWidget) {
    ui->setupUi(this);
    setTranslatedTexts({ui->title, ui->text}, {ui->okBtn});
    connect(ui->okBtn, &QPushButton::clicked, this, &OKWidget::onBtnClicked);
}

OKWidget::~OKWidget() {
    delete ui;
}

void OKWidget::onBtnClicked() {
    NimbraDesktop::getInstance()->reboot();
}
