#include "VideoShow.h"

VideoShow::VideoShow(QObject* parent) : QThread(parent) {
    qRegisterMetaType<VideoShow::VideoPosition>("VideoShow::VideoPosition");
}

VideoShow::~VideoShow() {
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
