#pragma once

#include <QPixmap>
#include <QPolygonF>
#include <QRect>
#include <QString>
#include <QVector>
#include <QWidget>

class QImage;
class QPaintEvent;

// The live picture of the camera being calibrated, with the guidance overlay
// drawn into it: the target triangle of the current step (13 steps per pair,
// in frame pixels) and rings around the three circles the drone reports,
// coloured by its verdict. A caption names the camera at the top; an optional
// hint box carries an instruction at the bottom.
//
// Frames are stored as they arrive but only become visible with the next
// overlay update; until the first one the widget paints its default look.
class VideoWidget : public QWidget {
    Q_OBJECT

public:
    explicit VideoWidget(QWidget* parent = nullptr);

    // Caption and hint, stored translated into the widget's language (either
    // language is accepted as input). Neither repaints by itself.
    void setVideoPosition(QString position);
    void setTip(QString tip);
    void setTipVisible(bool visible) { m_bTipVisible = visible; }
    // Also converts the caption and hint already stored (no repaint).
    void setLangue(const QString& langue);

    bool isTipVisible() const { return m_bTipVisible; }
    QString videoPosition() const { return m_strPosition; }
    QString tip() const { return m_strTip; }
    QString langue() const { return m_langue; }
    // The frame with its overlay as painted; null before the first overlay.
    QPixmap display() const { return m_display; }

    // Target triangle of a guidance step; empty for an index outside 0..12.
    QPolygonF targetTriangle(int index, bool isDownView) const;

public slots:
    void onImageFrame(QImage image);
    // c1..c3: bounding squares of the reported circles (frame pixels); pos and
    // frame: the status packet's two verdicts; index: guidance step.
    void onCirclePos(QRect c1, QRect c2, QRect c3, int pos, int frame, int index, bool isDownView);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString translated(const QString& text) const;

    QPixmap m_frame;
    QPixmap m_display;
    QVector<QRect> m_vecForwardRect;
    QVector<QRect> m_vecDownwardRect;
    QVector<QPolygonF> m_vecForwardTriangle;
    QVector<QPolygonF> m_vecDownwardTriangle;
    bool m_bTipVisible = false;
    QString m_strPosition = QStringLiteral("Front stereo·left camera");
    QString m_strTip;
    QString m_langue = QStringLiteral("zh");
};
