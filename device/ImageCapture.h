#pragma once

#include <QThread>

class VideoShow;

// Client of the drone's capture control channel (TCP 10000). It follows the
// stream reader's open results, so it is given the registry's reader.
class ImageCapture : public QThread {
    Q_OBJECT

public:
    ImageCapture(VideoShow* video, QObject* parent = nullptr);
    ~ImageCapture() override;

    VideoShow* videoShow() const { return m_pVideo; }

private slots:
    void onOpenSucceed();
    void onOpenFailed();

private:
    VideoShow* m_pVideo = nullptr;
};
