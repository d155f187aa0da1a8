#include "video/GuidPlayer.h"

#include "video/GuidPrivate.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {
constexpr int kCornerRadius = 20;
}

GuidPlayer::GuidPlayer(QWidget* parent) : QFrame(parent), m_decoder(new GuidPrivate(this)) {
    connect(m_decoder, &GuidPrivate::imageframe, this, &GuidPlayer::onImageframe);
}

GuidPlayer::~GuidPlayer() {
    // The thread must be gone before the widget it emits to.
    quitPlayer();
}

QString GuidPlayer::clipFolder(const QString& programDir) {
    const QString beside = QStringLiteral("./rc");
    if (QFileInfo(beside).isDir()) {
        return beside;
    }
    const QString installed =
        QDir::cleanPath(programDir + QStringLiteral("/" NIMBRA_INSTALLED_CLIP_DIR));
    return QFileInfo(installed).isDir() ? installed : beside;
}

QString GuidPlayer::clipPath(PlayerTyper type) {
    QString name;
    switch (type) {
        case GuideNG:
            name = QStringLiteral("ng.mp4");
            break;
        case GuideForwardOK:
        case TipForward:
            name = QStringLiteral("ok_forward.mp4");
            break;
        case GuideDownwardOK:
        case TipDownward:
            name = QStringLiteral("ok_downward.mp4");
            break;
        case Finished:
            name = QStringLiteral("finished.mp4");
            break;
    }
    if (name.isEmpty()) {
        return QString();
    }
    return clipFolder(QCoreApplication::applicationDirPath()) + QLatin1Char('/') + name;
}

void GuidPlayer::startPlayer(PlayerTyper type) {
    m_type = type;
    const QString clip = clipPath(type);
    if (clip.isEmpty()) {
        return;
    }
    m_decoder->startGuid(clip);
    if (type == GuideNG) {
        m_iconPath = QStringLiteral("://image/ng.png");
    } else if (type == GuideForwardOK || type == GuideDownwardOK) {
        m_iconPath = QStringLiteral("://image/ok.png");
    }
    m_radius = kCornerRadius;
}

void GuidPlayer::quitPlayer() {
    m_decoder->quitGuid();
}

bool GuidPlayer::isPlaying() const {
    return m_decoder->isRunning();
}

void GuidPlayer::onImageframe(const QImage& image) {
    m_frame = image;
    ++m_frameCount;
    update();
}

bool GuidPlayer::onWhiteBackground() const {
    return m_type == TipForward || m_type == TipDownward || m_type == Finished;
}

QRect GuidPlayer::frameRect(const QSize& frameSize) const {
    const int w = width();
    const int h = height();
    if (m_type == TipForward || m_type == TipDownward) {
        return QRect(QPoint(w / 8, h / 6), frameSize.scaled(w, h, Qt::KeepAspectRatio));
    }
    if (m_type == Finished) {
        return QRect(QPoint(0, 0), frameSize.scaled(w, h, Qt::KeepAspectRatio));
    }
    return QRect(QPoint(0, 0), frameSize.scaled(500, 300, Qt::KeepAspectRatio));
}

void GuidPlayer::paintEvent(QPaintEvent* event) {
    if (m_frame.isNull()) {
        QFrame::paintEvent(event);
        return;
    }
    const int w = width();
    const int h = height();
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(frameRect(m_frame.size()), m_frame);

    // Mask the corners with the colour of what lies around the player, which
    // gives the clip its rounded frame.
    const int r = m_radius;
    QPainterPath rounded;
    rounded.moveTo(w, r);
    rounded.arcTo(w - 2 * r, 0, 2 * r, 2 * r, 0, 90);
    rounded.lineTo(r, 0);
    rounded.arcTo(0, 0, 2 * r, 2 * r, 90, 90);
    rounded.lineTo(0, h - r);
    rounded.arcTo(0, h - 2 * r, 2 * r, 2 * r, 180, 90);
    rounded.lineTo(w - r, h);
    rounded.arcTo(w - 2 * r, h - 2 * r, 2 * r, 2 * r, 270, 90);
    rounded.closeSubpath();
    QPainterPath outside;
    outside.addRect(0, 0, w, h);
    outside = outside.subtracted(rounded);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.fillPath(outside, onWhiteBackground() ? QColor(Qt::white) : QColor("#222425"));

    if (!onWhiteBackground()) {
        const bool ok = m_type == GuideForwardOK || m_type == GuideDownwardOK;
        const QRect badge(ok ? w - 65 : w - 55, h - 50, ok ? 50 : 39, 36);
        painter.drawPixmap(badge, QPixmap(m_iconPath));
    }
}
