#include "wizard/GuidWidget.h"
#include "ui_GuidWidget.h"

#include "app/NimbraDesktop.h"
#include "Calibration/ScreenScale.h"

#include <QScreen>
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
    ui->checkWidget->hide();
    m_pTimer->setInterval(1000);
    connect(ui->startBtn, &QPushButton::clicked, this, &GuidWidget::onStartBtnClicked);
    connect(m_pTimer, &QTimer::timeout, this, &GuidWidget::onTimeout);
    connect(ui->checkBtn, &QPushButton::clicked, this, &GuidWidget::onCheckBtnClicked);
}

GuidWidget::~GuidWidget() {
    delete ui;
}

void GuidWidget::startGuid() {
    m_bCountdownDone = false;
    updateScreenCheck();
    m_pTimer->start(1000);
    ui->ok->startPlayer(GuidPlayer::GuideForwardOK);
    ui->ng->startPlayer(GuidPlayer::GuideNG);
}

bool GuidWidget::isStartLocked() const {
    return ui->startBtn->isDefault();
}

bool GuidWidget::isScreenCheckAsked() const {
    return !ui->checkWidget->isHidden();
}

void GuidWidget::updateScreenCheck() {
    const QScreen* shown = screen();
    const bool asked = shown && ScreenScale::needsCheck(ScreenScale::describe(*shown));
    ui->checkWidget->setVisible(asked);
    // The note's row takes the room the wider spacing leaves: the clips and
    // their texts keep their size.
    ui->guidLayout->setSpacing(asked ? 12 : 24);
    setLocked(ui->startBtn, !m_bCountdownDone || asked);
}

void GuidWidget::onTimeout() {
    if (m_nCount > 0) {
        ui->time->setText(QStringLiteral("%1s").arg(m_nCount));
        --m_nCount;
        return;
    }
    m_nCount = 10;
    m_pTimer->stop();
    m_bCountdownDone = true;
    updateScreenCheck();
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

void GuidWidget::onCheckBtnClicked() {
    NimbraDesktop::getInstance()->showScreenSizeCheck();
}

void GuidWidget::langueChange(QString langue) {
    NimbraDesktop* main = NimbraDesktop::getInstance();
    for (QLabel* label : {ui->title, ui->okText1, ui->okText2, ui->ngText1, ui->checkNote}) {
        main->setLabelLangue(label, langue);
    }
    main->setButtonLangue(ui->startBtn, langue);
    main->setButtonLangue(ui->checkBtn, langue);
}
