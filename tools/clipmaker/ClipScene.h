#pragma once

#include <QImage>
#include <QPointF>
#include <QString>

class QPainter;

// The artwork of the tutorial clips: flat drawings of the drone (seen from its
// side, arms removed) in front of a screen that shows the circle board. Each
// kind is a short loop; frame(t) renders the picture at phase t in [0, 1),
// so frame(0) follows frame(1 - 1/n) without a jump.
class ClipScene {
public:
    enum Kind { WrongWay, ForwardRight, DownwardRight, ForwardDone };

    // Parses "ng", "ok_forward", "ok_downward" or "finished"; false otherwise.
    static bool kindFromName(const QString& name, Kind* kind);

    ClipScene(Kind kind, int width, int height);

    QImage frame(double t) const;
    // Loop length in seconds that suits the kind's movement.
    double seconds() const;

private:
    void drawScreen(QPainter& p) const;
    // Drone centred at centre, turned by angle degrees (clockwise); cameraDown
    // marks the downward pair as the one that films.
    void drawDrone(QPainter& p, QPointF centre, double angle, bool cameraDown, qreal opacity) const;
    // Where the filming lens of that drone sits, in frame pixels.
    QPointF lensPoint(QPointF centre, double angle, bool cameraDown) const;
    void drawViewCone(QPainter& p, QPointF lens, bool good) const;
    void drawTurnArrows(QPainter& p, QPointF centre, double t) const;
    void drawShiftArrows(QPainter& p, QPointF centre, bool vertical) const;
    void drawBadge(QPainter& p, QPointF centre, bool good, double grow) const;

    Kind m_kind;
    int m_width;
    int m_height;
};
