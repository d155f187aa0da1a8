#include "wizard/WaitOpenVideo.h"
#include "ui_WaitOpenVideo.h"

WaitOpenVideo::WaitOpenVideo(QWidget* parent)
    : WizardPage(Kind::Overlay, parent), ui(new Ui_WaitOpenVideo) {
    ui->setupUi(this);
    ui->text->setStyleSheet(
        QStringLiteral("font-size:24px; font-weight:300; color:rgba(0,0,0,1); line-height:33px;"));
    setTranslatedTexts({ui->text}, {});
    setVideoType(Forward);
}

WaitOpenVideo::~WaitOpenVideo() {
    delete ui;
}

void WaitOpenVideo::setVideoType(int type) {
    const bool english = langue() == QLatin1String("en");
    if (type == Forward) {
        ui->picture->setStyleSheet(QStringLiteral("image: url(:/image/forward.png);"));
        ui->text->setText(english ? QStringLiteral("Turning on the front stereo cameras")
                                  : QStringLiteral("正在开启前视摄像头"));
    } else if (type == Downward) {
        ui->picture->setStyleSheet(QStringLiteral("image: url(:/image/downward.png);"));
        ui->text->setText(english ? QStringLiteral("Turning on the downward stereo cameras")
                                  : QStringLiteral("正在开启下视摄像头"));
    }
}
