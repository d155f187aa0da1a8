#include "video/VideoShow.h"

#include "device/DeviceAddress.h"
#include "video/FfmpegStream.h"

#include <QDebug>

VideoShow::VideoShow(QObject* parent) : QThread(parent) {
    qRegisterMetaType<VideoShow::VideoPosition>("VideoShow::VideoPosition");
}

VideoShow::~VideoShow() {
    requestInterruption();
    quit();
    wait();
}

QString VideoShow::streamUrl(VideoPosition position, const QString& host) {
    const char* path = nullptr;
    switch (position) {
        case ForwardLeft:
            path = "/ov7251_02";
            break;
        case ForwardRight:
            path = "/ov7251_01";
            break;
        case DownwardLeft:
            path = "/ov7251_04";
            break;
        case DownwardRight:
            path = "/ov7251_03";
            break;
        default:
            return QString();
    }
    return QString("rtsp://%1:554%2").arg(host, QLatin1String(path));
}

QString VideoShow::url() const {
    QMutexLocker lock(&m_urlMutex);
    return m_url;
}

void VideoShow::stopLocked() {
    if (isRunning()) {
        requestInterruption();
        quit();
        wait();
    }
}

void VideoShow::openVideo(VideoPosition pos) {
    QMutexLocker lock(&m_callMutex);
    const QString url = streamUrl(pos, DeviceAddress::host());
    {
        QMutexLocker urlLock(&m_urlMutex);
        m_url = url;
    }
    m_position = pos;
    if (url.isEmpty()) {
        emit openFailed(QStringLiteral("url error"));
        return;
    }
    stopLocked();
    start(QThread::InheritPriority);
}

void VideoShow::reOpen() {
    openVideo(m_position.load());
}

void VideoShow::quitVideo() {
    QMutexLocker lock(&m_callMutex);
    stopLocked();
}

void VideoShow::run() {
    const QString url = this->url();
    qDebug().noquote() << url;

    FfmpegStream stream([this] { return isInterruptionRequested(); });
    const QString error = stream.open(url);
    if (!error.isEmpty()) {
        // An open cut short by quitVideo or by the next openVideo is no camera
        // failure: reporting it would make the capture channel reopen the
        // camera of a run that is being stopped.
        if (!isInterruptionRequested()) {
            emit openFailed(error);
        }
        return;
    }
    emit openSucceed();
    stream.logFormat();

    while (!isInterruptionRequested()) {
        QImage frame;
        const FfmpegStream::ReadResult r = stream.readFrame(&frame);
        if (r == FfmpegStream::ReadResult::Ended) {
            break;
        }
        if (r == FfmpegStream::ReadResult::Frame) {
            emit imageframe(frame);
        }
    }
}
