#include "Calibration/BCBoard.h"

#include "device/BCInstanceManager.h"
#include "device/ImageDeal.h"
#include "Calibration/ScreenScale.h"

#include <QPainter>
#include <QScreen>

namespace {
constexpr int kRows = 20;
// Lattice positions of the three mark circles, in drawing order.
constexpr int kMarks[3][2] = {{12, 7}, {11, 12}, {15, 12}};
}  // namespace

BCBoard::BCBoard(QWidget* parent) : QWidget(parent) {}

BCBoard::Layout BCBoard::layoutFor(int width, int height) {
    int areaWidth = 0;
    int areaHeight = 0;
    if (float(height) / float(width) > 0.75f) {
        areaWidth = width;
        areaHeight = int(width * 0.75);
    } else {
        areaWidth = int(4 * height / 3.0);
        areaHeight = height;
    }
    Layout layout;
    layout.r = areaWidth / 53 - 1;
    layout.x0 = (width - areaWidth) / 2;
    layout.y0 = int((height - areaHeight) * 0.5 + 1.0);
    return layout;
}

QRect BCBoard::circleRect(const Layout& layout, int x, int y) {
    const int side = 2 * layout.r;
    return QRect(layout.x0 + side * x, layout.y0 + side * y, side, side);
}

void BCBoard::paintEvent(QPaintEvent*) {
    const Layout layout = layoutFor(width(), height());
    publishMetrics(layout.r);
    drawBCBard(layout.x0, layout.y0, layout.r);
}

void BCBoard::publishMetrics(int r) {
    ImageDeal* deal = BCInstanceManager::getInstance()->getImageDeal();
    deal->setRadius(r);
    // The board is shown full size on this screen, so its millimetres per
    // pixel are the board's too.
    // Its size is the one the user checked against a card, when there is one.
    if (QScreen* s = screen()) {
        const ScreenScale::Screen described = ScreenScale::describe(*s);
        deal->setScreenMetrics(ScreenScale::widthMm(described), described.sizePx.width());
    }
}

void BCBoard::drawBCBard(int x0, int y0, int r) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(QBrush(Qt::black, Qt::SolidPattern));

    const int side = 2 * r;
    for (int i = 0; i < kRows; ++i) {
        const int top = y0 + side * i;
        // Odd rows start at column 0 with 14 circles, even rows at column 1
        // with 13: a circle sits where column + row is odd.
        const bool odd = (i % 2) == 1;
        const int count = odd ? 14 : 13;
        const int first = odd ? x0 : x0 + side;
        for (int k = 0; k < count; ++k) {
            const int left = first + 4 * r * k;
            painter.drawEllipse(QRect(QPoint(left, top), QPoint(left + side - 1, top + side - 1)));
        }
    }

    painter.setPen(QPen(Qt::white));
    painter.setBrush(QBrush(Qt::white, Qt::SolidPattern));
    for (const auto& mark : kMarks) {
        const int left = x0 + side * mark[0];
        const int top = y0 + side * mark[1];
        painter.drawEllipse(
            QRect(QPoint(left - r - 5, top - r - 5), QPoint(left + 3 * r + 4, top + 3 * r + 4)));
    }
    painter.setBrush(QBrush(Qt::black, Qt::SolidPattern));
    for (const auto& mark : kMarks) {
        const int left = x0 + side * mark[0];
        const int top = y0 + side * mark[1];
        const int discSide = int(3.5 * r);
        painter.drawEllipse(QRect(int(left - 0.75 * r), int(top - 0.75 * r), discSide, discSide));
    }
}
