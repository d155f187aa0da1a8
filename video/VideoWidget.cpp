#include "video/VideoWidget.h"

#include "device/BCInstanceManager.h"
#include "device/ImageCapture.h"
#include "app/NimbraDesktop.h"
#include "video/VideoShow.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kSteps = 13;
// Apexes of the target triangles by guidance step, in frame pixels.
constexpr int kForwardApex[kSteps][2] = {{210, 220}, {260, 355}, {290, 355}, {290, 295}, {290, 145},
                                         {290, 85},  {260, 85},  {160, 85},  {130, 85},  {130, 145},
                                         {130, 295}, {130, 355}, {160, 355}};
constexpr int kDownwardApex[kSteps][2] = {
    {290, 140}, {340, 195}, {440, 195}, {440, 165}, {440, 115}, {440, 85}, {340, 85},
    {240, 85},  {140, 85},  {140, 115}, {140, 165}, {140, 195}, {240, 195}};

QPolygonF triangleAt(int x, int y) {
    QPolygonF triangle;
    triangle << QPointF(x, y) << QPointF(x - 45, y + 200) << QPointF(x + 105, y + 200);
    return triangle;
}

QFont captionFont() {
    // SimSun ships with Windows and macOS only. Elsewhere fontconfig would pick
    // a serif face for its Latin letters while the Chinese ones come from the
    // CJK sans font: use that sans font for both, like the rest of the window.
    static const bool substituted = [] {
        QFont::insertSubstitutions(QStringLiteral("SimSun"),
                                   {QStringLiteral("WenQuanYi Micro Hei"),
                                    QStringLiteral("Noto Sans CJK SC")});
        return true;
    }();
    Q_UNUSED(substituted);
    QFont font(QStringLiteral("SimSun"));
    font.setPointSize(12);
    font.setWeight(400);
    return font;
}

const QColor kTranslucentBlack(0, 0, 0, 178);
}  // namespace

VideoWidget::VideoWidget(QWidget* parent) : QWidget(parent) {
    // Until the first picture the window's style sheet gives the view its
    // look (white, rounded); a plain subclass would ignore it.
    setAttribute(Qt::WA_StyledBackground, true);
    m_vecForwardRect.resize(kSteps);
    m_vecDownwardRect.resize(kSteps);
    for (int i = 0; i < kSteps; ++i) {
        m_vecForwardTriangle.append(triangleAt(kForwardApex[i][0], kForwardApex[i][1]));
        m_vecDownwardTriangle.append(triangleAt(kDownwardApex[i][0], kDownwardApex[i][1]));
    }
    BCInstanceManager* mgr = BCInstanceManager::getInstance();
    connect(mgr->getVideoShow(), &VideoShow::imageframe, this, &VideoWidget::onImageFrame);
    connect(mgr->getImageCapture(), &ImageCapture::circlePos, this, &VideoWidget::onCirclePos);
}

QString VideoWidget::translated(const QString& text) const {
    NimbraDesktop* main = NimbraDesktop::getInstance();
    return m_langue == QLatin1String("en") ? main->zhToEn(text) : main->enToZh(text);
}

void VideoWidget::setLangue(const QString& langue) {
    m_langue = langue;
    m_strPosition = translated(m_strPosition);
    m_strTip = translated(m_strTip);
}

void VideoWidget::setVideoPosition(QString position) {
    m_strPosition = translated(position);
}

void VideoWidget::setTip(QString tip) {
    m_strTip = translated(tip);
}

QPolygonF VideoWidget::targetTriangle(int index, bool isDownView) const {
    const QVector<QRect>& bounds = isDownView ? m_vecDownwardRect : m_vecForwardRect;
    if (index < 0 || index >= bounds.size()) {
        return {};
    }
    return isDownView ? m_vecDownwardTriangle.at(index) : m_vecForwardTriangle.at(index);
}

void VideoWidget::onImageFrame(QImage image) {
    m_frame = QPixmap::fromImage(image);
}

void VideoWidget::onCirclePos(QRect c1, QRect c2, QRect c3, int pos, int frame, int index,
                              bool isDownView) {
    m_display = m_frame;
    if (m_display.isNull()) {
        return;
    }
    QPainter painter(&m_display);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::transparent);
    QPen pen(QBrush(Qt::blue), 5, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    if (pos == 1 && frame != 0) {
        pen.setColor(Qt::green);
    }
    painter.setPen(pen);
    const QPolygonF triangle = targetTriangle(index, isDownView);
    if (!triangle.isEmpty()) {
        painter.drawPolygon(triangle, Qt::OddEvenFill);
    }
    if (pos == 0) {
        pen.setColor(Qt::red);
        painter.setPen(pen);
    }
    painter.drawEllipse(c1);
    painter.drawEllipse(c2);
    painter.drawEllipse(c3);
    painter.end();
    update();
}

void VideoWidget::paintEvent(QPaintEvent* event) {
    if (m_display.isNull()) {
        QWidget::paintEvent(event);
        return;
    }
    const int w = width();
    const int h = height();
    QPainter painter(this);
    painter.fillRect(rect(), QColor(QStringLiteral("#BABCC6")));
    const QPixmap scaled = m_display.scaled(w, h, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    painter.drawPixmap((w - scaled.width()) / 2, (h - scaled.height()) / 2, scaled);

    // Rounded corners against the dark page: everything outside the rounded
    // outline takes the page colour.
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(rect()), 20, 20);
    painter.drawPath(rounded);
    QPainterPath whole;
    whole.addRect(QRectF(rect()));
    painter.fillPath(whole.subtracted(rounded), QColor(QStringLiteral("#222425")));

    const QFont font = captionFont();
    const QFontMetrics metrics(font);
    painter.setFont(font);

    painter.setPen(Qt::NoPen);
    painter.setBrush(kTranslucentBlack);
    const int captionWidth = metrics.horizontalAdvance(m_strPosition);
    const int captionX = (w - 20 - captionWidth) / 2;
    painter.drawRoundedRect(QRect(captionX, -8, captionWidth + 20, 45), 8, 8);
    painter.setPen(Qt::white);
    painter.drawText(QPoint(captionX + 10, 25), m_strPosition);

    if (m_bTipVisible) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(kTranslucentBlack);
        const int tipWidth = metrics.horizontalAdvance(m_strTip);
        const int tipX = (w - 18 - tipWidth) / 2;
        painter.drawRoundedRect(QRect(tipX, h - 80, tipWidth + 18, 40), 8, 8);
        painter.setPen(Qt::white);
        painter.drawText(QPoint(tipX + 9, h - 54), m_strTip);
    }
}
