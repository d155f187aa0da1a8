#include "wizard/DownwardFinished.h"
#include "ui_DownwardFinished.h"

#include "app/NimbraDesktop.h"
#include "wizard/OverlayLook.h"

DownwardFinished::DownwardFinished(QWidget* parent) : QWidget(parent), ui(new Ui_DownwardFinished) {
    ui->setupUi(this);
    ui->title->setStyleSheet(QStringLiteral(
        "font-size:26px; font-weight:500; color:rgba(34,34,34,1); line-height:37px;"));
    ui->text->setStyleSheet(QStringLiteral(
        "font-size:18px; font-weight:500; color:rgba(34,34,34,1); line-height:25px;"));
    ui->btn->setStyleSheet(QStringLiteral("background:rgba(0,122,255,1); border-radius:6px;"));
    connect(ui->btn, &QPushButton::clicked, this, &DownwardFinished::onBtnClicked);
    OverlayLook::apply(this);
}

DownwardFinished::~DownwardFinished() {
    delete ui;
}

void DownwardFinished::onBtnClicked() {
    hide();
    if (parentWidget()) {
        parentWidget()->hide();
    }
    NimbraDesktop::getInstance()->setProgressShow();
}

void DownwardFinished::langueChange(QString langue) {
    NimbraDesktop* main = NimbraDesktop::getInstance();
    main->setLabelLangue(ui->title, langue);
    main->setLabelLangue(ui->text, langue);
    main->setButtonLangue(ui->btn, langue);
}
