#pragma once

#include <QImage>
#include <QMutex>
#include <QString>
#include <QThread>

// Decoding thread of one tutorial clip player: opens a local MP4 file, decodes
// its last video stream and emits every picture as a 32-bit RGB image, paced
// by the clip's frame rate and looping from the start at the end of the file.
//
// Set-up failures (missing file, no video stream, no decoder) log one line and
// end the thread; a decoding error ends it with "decode error". Stopping never
// waits on a blocked read: FFmpeg's interrupt callback and the pacing sleep
// both watch the thread's interruption flag.
class GuidPrivate : public QThread {
    Q_OBJECT
public:
    // Pause between two packets when the clip's average frame rate truncates to
    // 0 frames per second (below 1 fps or not recorded): 40 ms, i.e. 25 fps.
    static constexpr int kFallbackIntervalMs = 40;

    explicit GuidPrivate(QObject* parent = nullptr);
    ~GuidPrivate() override;

    // Stops a running decoder (without time limit), then decodes path from its
    // first frame.
    void startGuid(const QString& path);
    // Requests interruption and waits for the thread to end.
    void quitGuid();

    QString clipPath() const;

    // Milliseconds to sleep after each packet for an average frame rate of
    // num/den: 1000 / (num / den) in integer steps, kFallbackIntervalMs when the
    // integer rate is 0 or the rate is invalid, at least 1 ms.
    static int frameIntervalMs(int num, int den);

signals:
    void imageframe(QImage image);

protected:
    void run() override;

private:
    mutable QMutex m_pathMutex;
    QString m_path;
};
