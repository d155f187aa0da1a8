#include "wizard/QuitBC.h"
#include "ui_QuitBC.h"

#include "app/NimbraDesktop.h"
#include "wizard/OverlayLook.h"

QuitBC::QuitBC(QWidget* parent) : QWidget(parent), ui(new Ui_QuitBC) {
    ui->setupUi(this);
    const QString text = QStringLiteral(
        "font-size:18px; font-weight:500; color:rgba(34,34,34,1); line-height:25px;");
    ui->text1->setStyleSheet(text);
    ui->text2->setStyleSheet(text);
    ui->btn->setStyleSheet(QStringLiteral("background:rgba(239,40,79,1); border-radius:6px;"));
    ui->closeBtn->setStyleSheet(QStringLiteral("image: url(:/image/close.png);"));
    connect(ui->btn, &QPushButton::clicked, this, &QuitBC::onBtnClicked);
    connect(ui->closeBtn, &QPushButton::clicked, this, &QWidget::hide);
    OverlayLook::apply(this);
}

QuitBC::~QuitBC() {
    delete ui;
}

void QuitBC::onBtnClicked() {
    OverlayLook::stopRun();
    hide();
    if (parentWidget()) {
        parentWidget()->hide();
    }
    NimbraDesktop::getInstance()->show();
}

void QuitBC::langueChange(QString langue) {
    NimbraDesktop* main = NimbraDesktop::getInstance();
    main->setLabelLangue(ui->text1, langue);
    main->setLabelLangue(ui->text2, langue);
    main->setButtonLangue(ui->btn, langue);
}
