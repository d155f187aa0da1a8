#include "wizard/GuidWidget.h"
#include "ui_GuidWidget.h"

#include "app/NimbraDesktop.h"

#include <QStyle>
#include <QTimer>

namespace {

// The button's "default" property is its lock; the page's sheet paints a
// default button grey. Re-polish so the colour follows the property at once.
void setLocked(QPushButton* button, bool locked) {
    button->setDefault(locked);
    button->style()->unpolish(button);
    button->style()->polish(button);
}

}  // namespace

GuidWidget::GuidWidget(QWidget* parent)
    : QWidget(parent), ui(new Ui_GuidWidget), m_pTimer(new QTimer(this)) {
    ui->setupUi(this);
    ui->ng02->hide();
    m_pTimer->setInterval(1000);
    connect(ui->startBtn, &QPushButton::clicked, this, &GuidWidget::onStartBtnClicked);
    connect(m_pTimer, &QTimer::timeout, this, &GuidWidget::onTimeout);
}

GuidWidget::~GuidWidget() {
    delete ui;
}

void GuidWidget::startGuid() {
    setLocked(ui->startBtn, true);
    m_pTimer->start(1000);
    ui->ok->startPlayer(GuidPlayer::GuideForwardOK);
    ui->ng->startPlayer(GuidPlayer::GuideNG);
}

bool GuidWidget::isStartLocked() const {
    return ui->startBtn->isDefault();
}

void GuidWidget::onTimeout() {
    if (m_nCount > 0) {
        ui->time->setText(QStringLiteral("%1s").arg(m_nCount));
        --m_nCount;
        return;
    }
    m_nCount = 10;
    m_pTimer->stop();
    setLocked(ui->startBtn, false);
    ui->time->setText(QString());
}

void GuidWidget::onStartBtnClicked() {
    if (isStartLocked()) {
        return;
    }
    ui->ok->quitPlayer();
    ui->ng->quitPlayer();
    NimbraDesktop::getInstance()->setBCShow();
}

void GuidWidget::langueChange(QString langue) {
    NimbraDesktop* main = NimbraDesktop::getInstance();
    for (QLabel* label : {ui->title, ui->okText1, ui->okText2, ui->ngText1}) {
        main->setLabelLangue(label, langue);
    }
    main->setButtonLangue(ui->startBtn, langue);
}
