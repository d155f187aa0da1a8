#include "wizard/NGWidget.h"
#include "ui_NGWidget.h"

#include "app/NimbraDesktop.h"

NGWidget::NGWidget(QWidget* parent) : QWidget(parent), ui(new Ui_NGWidget) {
    ui->setupUi(this);
    connect(ui->reBtn, &QPushButton::clicked, this, &NGWidget::onBtnClicked);
}

NGWidget::~NGWidget() {
    delete ui;
}

void NGWidget::onBtnClicked() {
    NimbraDesktop::getInstance()->setGuideShow();
}

void NGWidget::langueChange(QString langue) {
    NimbraDesktop* main = NimbraDesktop::getInstance();
    for (QLabel* label : {ui->title, ui->tips, ui->text1, ui->text2, ui->text3, ui->text4}) {
        main->setLabelLangue(label, langue);
    }
    main->setButtonLangue(ui->reBtn, langue);
}
