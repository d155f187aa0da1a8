#include "wizard/ScreenSizeWidget.h"
#include "ui_ScreenSizeWidget.h"

#include <QKeyEvent>

#include <cmath>

namespace {

int widthForMmPerPx(double mmPerPx) {
    return int(std::lround(ScreenScale::kCardWidthMm / mmPerPx));
}

}  // namespace

int ScreenSizeWidget::minCardWidthPx() {
    return int(std::ceil(ScreenScale::kCardWidthMm * ScreenScale::kMinCheckedPpi /
                         ScreenScale::kMmPerInch));
}

ScreenSizeWidget::ScreenSizeWidget(QWidget* parent)
    : WizardPage(Kind::Page, parent), ui(new Ui_ScreenSizeWidget) {
    ui->setupUi(this);
    setTranslatedTexts({ui->title, ui->text}, {ui->saveBtn, ui->cancelBtn});
    ui->slider->setRange(minCardWidthPx(), kMaxCardWidthPx);
    ui->slider->setSingleStep(1);
    ui->slider->setPageStep(10);
    connect(ui->slider, &QSlider::valueChanged, this, [this](int value) {
        ui->card->setCardWidthPx(value);
        showValues();
    });
    connect(ui->saveBtn, &QPushButton::clicked, this, &ScreenSizeWidget::onSaveClicked);
    connect(ui->cancelBtn, &QPushButton::clicked, this, &ScreenSizeWidget::onCancelClicked);
    // Arrow keys reach the page wherever the focus is: the buttons do not
    // take it.
    ui->saveBtn->setFocusPolicy(Qt::NoFocus);
    ui->cancelBtn->setFocusPolicy(Qt::NoFocus);
    setFocusPolicy(Qt::StrongFocus);
}

ScreenSizeWidget::~ScreenSizeWidget() {
    delete ui;
}

void ScreenSizeWidget::begin(const ScreenScale::Screen& screen) {
    m_screen = screen;
    m_begun = true;
    double start = ScreenScale::storedMmPerPx(screen);
    if (start <= 0.0 && ScreenScale::reportIsPlausible(screen)) {
        start = ScreenScale::reportedMmPerPx(screen);
    }
    if (start <= 0.0) {
        start = kFallbackMmPerPx;
    }
    // The slider signals only a change; the outline must follow in any case.
    const int width = qBound(minCardWidthPx(), widthForMmPerPx(start), kMaxCardWidthPx);
    ui->slider->setValue(width);
    ui->card->setCardWidthPx(ui->slider->value());
    showValues();
    ui->slider->setFocus();
}

int ScreenSizeWidget::cardWidthPx() const {
    return ui->slider->value();
}

void ScreenSizeWidget::setCardWidthPx(int widthPx) {
    ui->slider->setValue(widthPx);
}

double ScreenSizeWidget::mmPerPx() const {
    return ScreenScale::kCardWidthMm / cardWidthPx();
}

void ScreenSizeWidget::langueChange(QString langue) {
    WizardPage::langueChange(langue);
    showValues();
}

void ScreenSizeWidget::showValues() {
    if (!m_begun) {
        ui->screenInfo->clear();
        ui->value->clear();
        return;
    }
    const double reportedMm = m_screen.sizeMm.width();
    const QString reported = reportedMm > 0.0 ? QStringLiteral("%1 mm").arg(reportedMm, 0, 'f', 0)
                                              : inLangue(QStringLiteral("未报告"));
    ui->screenInfo->setText(inLangue(QStringLiteral("屏幕“%1”，%2 × %3 像素，系统报告宽度：%4"))
                                .arg(m_screen.name, QString::number(m_screen.sizePx.width()),
                                     QString::number(m_screen.sizePx.height()), reported));
    ui->value->setText(inLangue(QStringLiteral("方框与卡片重合时：屏幕宽 %1 mm，每英寸 %2 像素"))
                           .arg(QString::number(mmPerPx() * m_screen.sizePx.width(), 'f', 1),
                                QString::number(ScreenScale::ppi(mmPerPx()), 'f', 0)));
}

void ScreenSizeWidget::onSaveClicked() {
    const bool saved = ScreenScale::store(m_screen, mmPerPx());
    emit finished(saved);
}

void ScreenSizeWidget::onCancelClicked() {
    emit finished(false);
}

void ScreenSizeWidget::keyPressEvent(QKeyEvent* event) {
    int step = 0;
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Down:
            step = -1;
            break;
        case Qt::Key_Right:
        case Qt::Key_Up:
            step = 1;
            break;
        case Qt::Key_PageDown:
            step = -10;
            break;
        case Qt::Key_PageUp:
            step = 10;
            break;
        default:
            WizardPage::keyPressEvent(event);
            return;
    }
    ui->slider->setValue(ui->slider->value() + step);
}
