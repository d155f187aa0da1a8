#pragma once

#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;
class VideoShow;

// Puts the drone into calibration mode (HTTP GET on port 80) and then opens
// the forward left camera, retrying the camera every 5 s, at most 22 opens in
// all. Lives on the GUI thread; request() and quit() arrive queued from the
// capture channel's thread.
class ModelChange : public QObject {
    Q_OBJECT

public:
    ModelChange(VideoShow* video, QObject* parent = nullptr);

    VideoShow* videoShow() const { return m_pVideo; }

    static constexpr int kRetryMs = 5000;
    static constexpr int kMaxAttempts = 21;  // failures tolerated before giving up

signals:
    void requestSucceed();
    void requestFailed(QString error);

public slots:
    void request();
    void quit();
    void onFinished(QNetworkReply* reply);
    void onOpenSucceed();
    void onOpenFailed(QString error);

private:
    void sendRequest();

    QNetworkAccessManager* m_pManager = nullptr;
    VideoShow* m_pVideo = nullptr;
    int m_nAttempts = 0;
    quint64 m_nGeneration = 0;  // bumped by request() and quit(); stale retries are dropped
};
