#include "wizard/LinkWidget.h"
#include "ui_LinkWidget.h"

#include "app/NimbraDesktop.h"

LinkWidget::LinkWidget(QWidget* parent) : QWidget(parent), ui(new Ui_LinkWidget) {
    ui->setupUi(this);
}

LinkWidget::~LinkWidget() {
    delete ui;
}

void LinkWidget::langueChange(QString langue) {
    NimbraDesktop* main = NimbraDesktop::getInstance();
    for (QLabel* label : {ui->title, ui->step1, ui->text1, ui->step2, ui->text2}) {
        main->setLabelLangue(label, langue);
    }
}
