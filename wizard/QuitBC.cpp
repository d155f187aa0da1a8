#include "wizard/QuitBC.h"
#include "ui_QuitBC.h"

QuitBC::QuitBC(QWidget* parent) : WizardPage(Kind::Overlay, parent), ui(new Ui_QuitBC) {
    ui->setupUi(this);
    const QString text = QStringLiteral(
        "font-size:18px; font-weight:500; color:rgba(34,34,34,1); line-height:25px;");
    ui->text1->setStyleSheet(text);
    ui->text2->setStyleSheet(text);
    ui->btn->setStyleSheet(QStringLiteral("background:rgba(239,40,79,1); border-radius:6px;"));
    ui->closeBtn->setStyleSheet(QStringLiteral("image: url(:/image/close.png);"));
    setTranslatedTexts({ui->text1, ui->text2}, {ui->btn});
    connect(ui->btn, &QPushButton::clicked, this, &QuitBC::onBtnClicked);
    connect(ui->closeBtn, &QPushButton::clicked, this, &QWidget::hide);
}

QuitBC::~QuitBC() {
    delete ui;
}

void QuitBC::onBtnClicked() {
    endRun();
}
