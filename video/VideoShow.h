#pragma once

#include <QImage>
#include <QMetaType>
#include <QMutex>
#include <QString>
#include <QThread>

#include <atomic>

// Reader of one of the drone's four camera streams at a time (RTSP over TCP,
// H.264 decoded with FFmpeg). Decoding runs in run() on this object's own
// thread; the object itself stays with the thread that created it.
//
// Every decoded picture is emitted as an owned 32-bit RGB QImage (0xffRRGGBB)
// of the stream's size. Failures to open are reported with openFailed and one
// of the fixed texts "url error", "open url error", "Could't find stream
// infomation", "Didn't find a video stream", "Codec not found", "Could not open
// codec"; a stream that breaks off after opening just ends the thread.
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

    // Stops what plays (waiting for the reader thread to end) and starts the
    // stream of pos. Any thread; calls from different threads are serialised.
    void openVideo(VideoPosition pos);
    void openForwardLeft() { openVideo(ForwardLeft); }
    void openForwardRight() { openVideo(ForwardRight); }
    void openDownwardLeft() { openVideo(DownwardLeft); }
    void openDownwardRight() { openVideo(DownwardRight); }
    // Opens the camera last asked for again.
    void reOpen();
    // Stops playing and waits until the reader thread has ended. Never waits on
    // a blocked network read: the reader's I/O is interrupted.
    void quitVideo();

    VideoPosition position() const { return m_position; }
    QString url() const;

    // The RTSP address of a camera: rtsp://<host>:554/ov7251_0N. The left and
    // right camera of each pair are served under crossed path numbers. Empty for
    // Unknown or any value outside the enumeration.
    static QString streamUrl(VideoPosition position, const QString& host);

signals:
    void openSucceed();
    void openFailed(QString error);
    void imageframe(QImage img);

protected:
    void run() override;

private:
    void stopLocked();

    QMutex m_callMutex;         // serialises openVideo/reOpen/quitVideo
    mutable QMutex m_urlMutex;  // guards m_url between callers and run()
    std::atomic<VideoPosition> m_position{Unknown};
    QString m_url;
};

Q_DECLARE_METATYPE(VideoShow::VideoPosition)
