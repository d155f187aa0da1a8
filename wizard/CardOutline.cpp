#include "wizard/CardOutline.h"

#include "Calibration/ScreenScale.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

CardOutline::CardOutline(QWidget* parent) : QWidget(parent) {}

void CardOutline::setCardWidthPx(int widthPx) {
    if (widthPx == m_widthPx) {
        return;
    }
    m_widthPx = widthPx;
    update();
}

QRect CardOutline::cardRect() const {
    const int height =
        int(std::lround(m_widthPx * ScreenScale::kCardHeightMm / ScreenScale::kCardWidthMm));
    return QRect(0, 0, m_widthPx, height);
}

void CardOutline::paintEvent(QPaintEvent*) {
    if (m_widthPx <= 0) {
        return;
    }
    QPainter painter(this);
    const QRect card = cardRect();
    const double radius = m_widthPx * ScreenScale::kCardCornerRadiusMm / ScreenScale::kCardWidthMm;
    // The straight edges fall on whole pixels, so the card's extent is exact;
    // only the rounded corners are smoothed.
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(card), radius, radius);
    painter.fillPath(shape, QColor(kFill));
    painter.setPen(QColor(0x22, 0x24, 0x25));
    QFont font = painter.font();
    font.setPixelSize(qBound(12, m_widthPx / 18, 28));
    painter.setFont(font);
    const QRect visible = card.intersected(rect());
    painter.drawText(visible, Qt::AlignCenter, QStringLiteral("85.60 × 53.98 mm"));
}
