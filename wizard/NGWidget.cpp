#include "wizard/NGWidget.h"
#include "ui_NGWidget.h"

#include "app/NimbraDesktop.h"

NGWidget::NGWidget(QWidget* parent) : WizardPage(Kind::Page, parent), ui(new Ui_NGWidget) {
    ui->setupUi(this);
    setTranslatedTexts({ui->title, ui->tips, ui->text1, ui->text2, ui->text3, ui->text4},
                       {ui->reBtn});
    connect(ui->reBtn, &QPushButton::clicked, this, &NGWidget::onBtnClicked);
}

NGWidget::~NGWidget() {
    delete ui;
}

void NGWidget::onBtnClicked() {
    NimbraDesktop::getInstance()->setGuideShow();
}
