#pragma once

#include <QImage>
#include <QMetaType>
#include <QString>
#include <QThread>

// Reader of one of the drone's four camera streams at a time (RTSP over TCP).
// Decoding runs in run() on this object's own thread; the object itself stays
// with the thread that created it.
class VideoShow : public QThread {
    Q_OBJECT

public:
    enum VideoPosition {
        ForwardLeft = 0,
        ForwardRight = 1,
        DownwardLeft = 2,
        DownwardRight = 3,
        Unknown = 4,
    };
    Q_ENUM(VideoPosition)

    explicit VideoShow(QObject* parent = nullptr);
    ~VideoShow() override;

    VideoPosition position() const { return m_position; }
    QString url() const { return m_url; }

    // The RTSP address of a camera: rtsp://<device>:554/ov7251_0N. The left and
    // right camera of each pair are served under crossed path numbers. Empty for
    // Unknown or any value outside the enumeration.
    static QString streamUrl(VideoPosition position, const QString& host);

signals:
    void openSucceed();
    void openFailed(QString error);
    void imageframe(QImage img);

private:
    VideoPosition m_position = Unknown;
    QString m_url;
};

Q_DECLARE_METATYPE(VideoShow::VideoPosition)
