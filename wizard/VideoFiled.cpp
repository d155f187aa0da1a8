#include "wizard/VideoFiled.h"
#include "ui_VideoFiled.h"

namespace {

// The form's button width and the room kept either side of a longer text, pixels.
constexpr int kRestartMinimumWidth = 150;
constexpr int kRestartTextMargin = 20;

}  // namespace

VideoFiled::VideoFiled(QWidget* parent) : WizardPage(Kind::Overlay, parent), ui(new Ui_VideoFiled) {
    ui->setupUi(this);
    ui->title->setStyleSheet(
        QStringLiteral("font-size:26px; font-weight:500; color:rgb(34,34,34); line-height:37px;"));
    ui->text->setStyleSheet(
        QStringLiteral("font-size:18px; font-weight:400; color:rgb(34,34,34); line-height:25px;"));
    ui->restart->setStyleSheet(QStringLiteral("background:#007aff; border-radius:6px;"));
    ui->icon->setStyleSheet(QStringLiteral("image: url(:/image/war.png);"));
    setTranslatedTexts({ui->title, ui->text}, {ui->restart});
    connect(ui->restart, &QPushButton::clicked, this, &VideoFiled::onRestartClicked);
}

VideoFiled::~VideoFiled() {
    delete ui;
}

void VideoFiled::onRestartClicked() {
    endRun(kMainWindowDelayMs);
}

void VideoFiled::langueChange(QString langue) {
    WizardPage::langueChange(langue);
    // "Restart the software" is wider than the form's button: keep a margin
    // on either side of the text; the short Chinese text keeps the form's width.
    ui->restart->ensurePolished();
    const int textWidth = ui->restart->fontMetrics().horizontalAdvance(ui->restart->text());
    ui->restart->setMinimumWidth(qMax(kRestartMinimumWidth, textWidth + 2 * kRestartTextMargin));
}
