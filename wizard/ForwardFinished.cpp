#include "wizard/ForwardFinished.h"
#include "ui_ForwardFinished.h"

#include "device/BCInstanceManager.h"
#include "device/ImageCapture.h"
#include "wizard/BCWidget.h"

ForwardFinished::ForwardFinished(QWidget* parent)
    : WizardPage(Kind::Overlay, parent), ui(new Ui_ForwardFinished) {
    ui->setupUi(this);
    ui->title->setStyleSheet(QStringLiteral(
        "font-size:26px; font-weight:500; color:rgba(34,34,34,1); line-height:37px;"));
    ui->text->setStyleSheet(QStringLiteral(
        "font-size:20px; font-weight:500; color:rgba(34,34,34,1); line-height:28px;"));
    const QString small = QStringLiteral(
        "font-size:18px; font-weight:500; color:rgba(34,34,34,1); line-height:25px;");
    ui->text1->setStyleSheet(small);
    ui->text2->setStyleSheet(small);
    const QString bullet = QStringLiteral("background-color:#222222; border-radius:4px;");
    ui->o1->setStyleSheet(bullet);
    ui->o2->setStyleSheet(bullet);
    ui->btn->setStyleSheet(QStringLiteral("background:rgba(0,122,255,1); border-radius:6px;"));
    setTranslatedTexts({ui->title, ui->text, ui->text1, ui->text2}, {ui->btn});
    connect(ui->btn, &QPushButton::clicked, this, &ForwardFinished::onBtnClicked);
}

ForwardFinished::~ForwardFinished() {
    delete ui;
}

void ForwardFinished::resetForRun() {
    ui->frame->quitPlayer();
    WizardPage::resetForRun();
}

void ForwardFinished::startShow() {
    ui->frame->startPlayer(GuidPlayer::Finished);
    show();
}

void ForwardFinished::onBtnClicked() {
    ui->frame->quitPlayer();
    hide();
    if (auto* window = qobject_cast<BCWidget*>(parentWidget())) {
        window->waitDownwardOpenVideo();
    }
    QMetaObject::invokeMethod(BCInstanceManager::getInstance()->getImageCapture(),
                              "forward2Downward");
}
