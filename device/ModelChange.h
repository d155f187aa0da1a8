#pragma once

#include <QObject>
#include <QString>

class VideoShow;

// Puts the drone into calibration mode over HTTP and opens the first camera.
// Lives on the GUI thread.
class ModelChange : public QObject {
    Q_OBJECT

public:
    ModelChange(VideoShow* video, QObject* parent = nullptr);

    VideoShow* videoShow() const { return m_pVideo; }

signals:
    void requestSucceed();
    void requestFailed(QString error);

private slots:
    void onOpenSucceed();
    void onOpenFailed(QString error);

private:
    VideoShow* m_pVideo = nullptr;
};
