#include "BCWidget.h"
#include "ui_BCWidget.h"

#include "NimbraDesktop.h"

#include <QDebug>
#include <QFile>

BCWidget::BCWidget(QWidget* parent) : QWidget(parent), ui(new Ui_BCWidget) {
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    QFile sheet(QStringLiteral("://bc.qss"));
    if (sheet.open(QIODevice::ReadOnly)) {
        setStyleSheet(QString::fromUtf8(sheet.readAll()));
    } else {
        qDebug() << "bc.qss" << sheet.errorString();
    }
}

BCWidget::~BCWidget() {
    delete ui;
}

void BCWidget::show() {
    QWidget::showFullScreen();
}

void BCWidget::onStateChange(bool) {}

void BCWidget::langueChange(QString langue) {
    m_langue = langue;
    NimbraDesktop* main = NimbraDesktop::getInstance();
    main->setLabelLangue(ui->title, langue);
    main->setLabelLangue(ui->viewText, langue);
    main->setButtonLangue(ui->quitBtn, langue);
}
