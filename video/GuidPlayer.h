#pragma once

#include <QFrame>
#include <QImage>
#include <QString>

class GuidPrivate;

// Widget that plays one looping tutorial clip (rc/*.mp4 in clipFolder())
// inside a rounded frame, with a badge in the corner for
// the guide page's examples. Frames come from its own decoding thread through
// a queued signal; the last frame stays on screen after the clip is stopped.
// Usable as a promoted widget in designer forms.
class GuidPlayer : public QFrame {
    Q_OBJECT
public:
    enum PlayerTyper {
        GuideNG = 0,
        GuideForwardOK = 1,
        GuideDownwardOK = 2,
        TipForward = 3,
        TipDownward = 4,
        Finished = 5,
    };
    Q_ENUM(PlayerTyper)

    explicit GuidPlayer(QWidget* parent = nullptr);
    ~GuidPlayer() override;

    // Stores type; for GuideNG..Finished (re)starts the decoder on the type's
    // clip from its first frame, sets the badge where the type has one and the
    // corner radius to 20 px. Any other value only changes the stored type.
    void startPlayer(PlayerTyper type);
    // Stops the decoder and waits for its thread; the last frame is kept.
    void quitPlayer();

    PlayerTyper playerType() const { return m_type; }
    QImage currentFrame() const { return m_frame; }
    QString iconPath() const { return m_iconPath; }
    int cornerRadius() const { return m_radius; }
    // Frames received since construction (counts loops of the clip too).
    quint64 frameCount() const { return m_frameCount; }
    bool isPlaying() const;

    // Clip file of a type in clipFolder() of this program ("./rc/ng.mp4" in
    // the build tree), "" for values outside GuideNG..Finished.
    static QString clipPath(PlayerTyper type);
    // Folder of the clips for a program whose executable lies in programDir:
    // "./rc" when the working directory holds it (the program makes its own
    // folder the working directory, so this is rc/ beside the executable, as
    // in the build tree); else the installed data folder, found relative to
    // programDir (bin/../share/nimbra-desktop/rc), when it exists; else "./rc",
    // whose missing clips are then reported as each one fails to open.
    static QString clipFolder(const QString& programDir);

public slots:
    void onImageframe(const QImage& image);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect frameRect(const QSize& frameSize) const;
    bool onWhiteBackground() const;

    QImage m_frame;
    QString m_iconPath;
    int m_radius = 0;
    PlayerTyper m_type = GuideNG;
    quint64 m_frameCount = 0;
    GuidPrivate* m_decoder = nullptr;
};
