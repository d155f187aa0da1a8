#include "tools/clipmaker/ClipScene.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace {

const QColor kDarkBackground("#2C2F33");
const QColor kLightBackground("#F3F5F8");
const QColor kBody("#D9DDE3");
const QColor kBodyShade("#B4BAC3");
const QColor kCameraPod("#1B1E22");
const QColor kLens("#2A72FB");
const QColor kGood("#54D583");
const QColor kBad("#EF284F");
const QColor kBezel("#101214");
const QColor kStand("#4A4F57");

constexpr double kPi = 3.14159265358979323846;

double smooth(double x) {
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3.0 - 2.0 * x);
}

// The screen, as a quad turned a little towards the drone on the left. Kept
// within the top-left 7/8 x 5/6 of the frame: the calibration page shows the
// clips shifted by that much, cut at the right and bottom.
QPolygonF screenQuad(int w, int h) {
    const qreal left = w * 0.55, right = w * 0.84;
    const qreal top = h * 0.15, bottom = h * 0.61;
    const qreal inset = h * 0.05;
    return QPolygonF({QPointF(left, top), QPointF(right, top + inset),
                      QPointF(right, bottom - inset), QPointF(left, bottom)});
}

}  // namespace

bool ClipScene::kindFromName(const QString& name, Kind* kind) {
    if (name == QLatin1String("ng")) {
        *kind = WrongWay;
    } else if (name == QLatin1String("ok_forward")) {
        *kind = ForwardRight;
    } else if (name == QLatin1String("ok_downward")) {
        *kind = DownwardRight;
    } else if (name == QLatin1String("finished")) {
        *kind = ForwardDone;
    } else {
        return false;
    }
    return true;
}

ClipScene::ClipScene(Kind kind, int width, int height)
    : m_kind(kind), m_width(width), m_height(height) {}

double ClipScene::seconds() const {
    return (m_kind == WrongWay || m_kind == ForwardDone) ? 4.0 : 3.0;
}

void ClipScene::drawScreen(QPainter& p) const {
    const int w = m_width, h = m_height;
    const QPolygonF quad = screenQuad(w, h);
    const QPointF foot((quad[0].x() + quad[1].x()) / 2, quad[3].y());

    // Stand and desk line.
    p.setPen(Qt::NoPen);
    p.setBrush(kStand);
    p.drawRect(QRectF(foot.x() - w * 0.012, foot.y() - 4, w * 0.024, h * 0.16));
    p.drawRoundedRect(QRectF(foot.x() - w * 0.08, foot.y() + h * 0.145, w * 0.16, h * 0.03), 4, 4);
    p.setBrush(m_kind == ForwardDone ? QColor("#DDE1E7") : QColor("#383C42"));
    p.drawRect(QRectF(w * 0.04, foot.y() + h * 0.175, w * 0.92, 3));

    // Bezel, then the board mapped onto the turned screen.
    p.setBrush(kBezel);
    QPolygonF bezel;
    const QPointF c = quad.boundingRect().center();
    for (const QPointF& pt : quad) {
        bezel << c + (pt - c) * 1.08;
    }
    p.drawPolygon(bezel);

    const QRectF board(0, 0, 280, 200);
    QTransform map;
    if (!QTransform::quadToQuad(QPolygonF(board).mid(0, 4), quad, map)) {
        return;
    }
    p.save();
    p.setTransform(map, true);
    p.setBrush(Qt::white);
    p.drawRect(board);
    // The staggered circle lattice, shrunk: a dot where column + row is odd.
    p.setBrush(Qt::black);
    const int cols = 15, rows = 11;
    const qreal step = 17.0, r = 5.2;
    const QPointF origin((board.width() - (cols - 1) * step) / 2,
                         (board.height() - (rows - 1) * step) / 2);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < cols; ++x) {
            if ((x + y) % 2 == 1) {
                p.drawEllipse(origin + QPointF(x * step, y * step), r, r);
            }
        }
    }
    p.restore();
}

void ClipScene::drawDrone(QPainter& p, QPointF centre, double angle, bool cameraDown,
                          qreal opacity) const {
    const qreal s = m_height / 300.0;
    QTransform pose;
    pose.translate(centre.x(), centre.y());
    pose.rotate(angle);
    pose.scale(s, s);

    p.save();
    p.setOpacity(opacity);
    p.setTransform(pose, true);
    p.setPen(Qt::NoPen);
    // Motor stubs where the arms were taken off.
    p.setBrush(kBodyShade);
    p.drawRoundedRect(QRectF(-50, -30, 22, 10), 4, 4);
    p.drawRoundedRect(QRectF(22, -30, 22, 10), 4, 4);
    // Body with a darker lower half.
    p.setBrush(kBodyShade);
    p.drawRoundedRect(QRectF(-58, -24, 112, 48), 16, 16);
    p.setBrush(kBody);
    p.drawRoundedRect(QRectF(-58, -24, 112, 34), 16, 16);
    // Forward camera pod on the nose, downward pod under the belly.
    p.setBrush(kCameraPod);
    p.drawRoundedRect(QRectF(44, -16, 22, 30), 8, 8);
    p.drawRoundedRect(QRectF(-18, 18, 36, 16), 6, 6);
    // Status light.
    p.setBrush(kGood);
    p.drawEllipse(QPointF(-44, -4), 3.5, 3.5);
    // Lenses: the filming pair lit in blue, the other grey.
    const QPointF front(58, -1), down(0, 29);
    p.setBrush(cameraDown ? QColor("#5A616B") : kLens);
    p.drawEllipse(front, 6, 6);
    p.setBrush(cameraDown ? kLens : QColor("#5A616B"));
    p.drawEllipse(down, 6, 6);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse((cameraDown ? down : front) + QPointF(-2, -2), 1.8, 1.8);
    p.restore();
}

QPointF ClipScene::lensPoint(QPointF centre, double angle, bool cameraDown) const {
    const qreal s = m_height / 300.0;
    QTransform pose;
    pose.translate(centre.x(), centre.y());
    pose.rotate(angle);
    pose.scale(s, s);
    return pose.map(cameraDown ? QPointF(0, 35) : QPointF(66, -1));
}

void ClipScene::drawViewCone(QPainter& p, QPointF lens, bool good) const {
    const QPolygonF quad = screenQuad(m_width, m_height);
    QColor fill = good ? kLens : kBad;
    fill.setAlpha(55);
    QColor edge = fill;
    edge.setAlpha(170);
    p.save();
    p.setPen(QPen(edge, 1.5, Qt::DashLine));
    p.setBrush(fill);
    // The cone ends on the board: the part of the screen the camera sees.
    const qreal margin = good ? 0.04 : 0.0;
    const QPointF top = quad[0] + (quad[3] - quad[0]) * margin;
    const QPointF bottom = quad[3] + (quad[0] - quad[3]) * margin;
    p.drawPolygon(QPolygonF({lens, top, bottom}));
    p.restore();
}

void ClipScene::drawTurnArrows(QPainter& p, QPointF centre, double t) const {
    const qreal r = m_height * 0.27;
    p.save();
    QColor c = kGood;
    c.setAlphaF(0.55 + 0.45 * std::sin(2 * kPi * t) * std::sin(2 * kPi * t));
    p.setPen(QPen(c, 4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QRectF ring(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
    p.drawArc(ring, 120 * 16, 60 * 16);
    p.drawArc(ring, 240 * 16, 60 * 16);
    // Heads at the ends of both arcs, pointing along the turn.
    p.setBrush(c);
    p.setPen(Qt::NoPen);
    for (double deg : {180.0, 300.0}) {
        const double a = deg * kPi / 180.0;
        const QPointF tip(centre.x() + r * std::cos(a), centre.y() - r * std::sin(a));
        const QPointF along(std::sin(a), std::cos(a));
        const QPointF across(std::cos(a), -std::sin(a));
        p.drawPolygon(QPolygonF(
            {tip + along * 10, tip - along * 2 + across * 7, tip - along * 2 - across * 7}));
    }
    // The fixed axis the turn goes round.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kGood, 2, Qt::DotLine));
    p.drawEllipse(centre, 5, 5);
    p.restore();
}

void ClipScene::drawShiftArrows(QPainter& p, QPointF centre, bool vertical) const {
    p.save();
    p.setPen(QPen(kBad, 4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(kBad);
    const qreal len = m_height * 0.30;
    const QPointF dir = vertical ? QPointF(0, 1) : QPointF(1, 0);
    const QPointF across(dir.y(), dir.x());
    const QPointF offset = vertical ? QPointF(-m_height * 0.33, 0) : QPointF(0, m_height * 0.30);
    const QPointF a = centre + offset - dir * len / 2, b = centre + offset + dir * len / 2;
    p.drawLine(a + dir * 8, b - dir * 8);
    p.setPen(Qt::NoPen);
    for (const auto& [tip, sign] : {std::pair{a, -1.0}, std::pair{b, 1.0}}) {
        p.drawPolygon(QPolygonF({tip + dir * sign * 4, tip - dir * sign * 10 + across * 8,
                                 tip - dir * sign * 10 - across * 8}));
    }
    p.restore();
}

void ClipScene::drawBadge(QPainter& p, QPointF centre, bool good, double grow) const {
    const qreal r = m_height * 0.075 * (0.6 + 0.4 * smooth(grow));
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(good ? kGood : kBad);
    p.drawEllipse(centre, r, r);
    p.setPen(QPen(Qt::white, r * 0.22, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    if (good) {
        // The tick draws itself as grow goes from 0 to 1.
        const QPointF a = centre + QPointF(-r * 0.45, 0.02 * r);
        const QPointF b = centre + QPointF(-r * 0.1, r * 0.38);
        const QPointF c = centre + QPointF(r * 0.5, -r * 0.35);
        const double k = smooth(grow);
        QPainterPath tick(a);
        if (k < 0.4) {
            tick.lineTo(a + (b - a) * (k / 0.4));
        } else {
            tick.lineTo(b);
            tick.lineTo(b + (c - b) * ((k - 0.4) / 0.6));
        }
        p.drawPath(tick);
    } else {
        const qreal d = r * 0.38;
        p.drawLine(centre + QPointF(-d, -d), centre + QPointF(d, d));
        p.drawLine(centre + QPointF(d, -d), centre + QPointF(-d, d));
    }
    p.restore();
}

QImage ClipScene::frame(double t) const {
    QImage image(m_width, m_height, QImage::Format_RGB32);
    image.fill(m_kind == ForwardDone ? kLightBackground : kDarkBackground);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawScreen(p);

    const QPointF home(m_width * 0.24, m_height * 0.40);
    const double wave = std::sin(2 * kPi * t);
    const QPointF badgeAt(m_width * 0.085, m_height * 0.14);

    switch (m_kind) {
        case ForwardRight:
        case DownwardRight: {
            // Turning in place: the axis stays put, only the heading swings.
            const bool down = m_kind == DownwardRight;
            const double angle = (down ? -90.0 : 0.0) + 9.0 * wave;
            drawTurnArrows(p, home, t);
            drawViewCone(p, lensPoint(home, angle, down), true);
            // No tick here: on the guide page the player adds its own badge.
            drawDrone(p, home, angle, down, 1.0);
            break;
        }
        case WrongWay: {
            // First half up and down, second half sideways, back home at the
            // seams so the loop does not jump.
            const bool vertical = t < 0.5;
            const double local = std::sin(4 * kPi * t);
            const QPointF shift =
                vertical ? QPointF(0, m_height * 0.13 * local) : QPointF(m_width * 0.09 * local, 0);
            const QPointF dir = vertical ? QPointF(0, m_height * 0.13) : QPointF(m_width * 0.09, 0);
            drawShiftArrows(p, home, vertical);
            drawDrone(p, home - dir, 0, false, 0.18);
            drawDrone(p, home + dir, 0, false, 0.18);
            drawViewCone(p, lensPoint(home + shift, 0, false), false);
            drawDrone(p, home + shift, 0, false, 1.0);
            const double pulse = 0.5 + 0.5 * std::cos(4 * kPi * t);
            drawBadge(p, badgeAt, false, 0.7 + 0.3 * pulse);
            break;
        }
        case ForwardDone: {
            // Forward pair done (tick), then the drone turns its belly, with
            // the downward pair, to the screen, and holds there.
            const double turn = smooth((t - 0.3) / 0.35);
            const double angle = -90.0 * turn;
            const bool down = turn > 0.5;
            // The view fades out while the drone turns and back in once the
            // other pair faces the board.
            p.setOpacity(std::abs(2.0 * turn - 1.0));
            drawViewCone(p, lensPoint(home, angle, down), true);
            p.setOpacity(1.0);
            drawDrone(p, home, angle, down, 1.0);
            drawBadge(p, badgeAt, true, t / 0.25);
            break;
        }
    }
    return image;
}
