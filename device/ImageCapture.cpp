#include "ImageCapture.h"

#include "VideoShow.h"

ImageCapture::ImageCapture(VideoShow* video, QObject* parent) : QThread(parent), m_pVideo(video) {
    moveToThread(this);
    connect(m_pVideo, &VideoShow::openSucceed, this, &ImageCapture::onOpenSucceed,
            Qt::QueuedConnection);
    connect(m_pVideo, &VideoShow::openFailed, this, &ImageCapture::onOpenFailed,
            Qt::QueuedConnection);
}

ImageCapture::~ImageCapture() {
    quit();
    wait();
}

void ImageCapture::onOpenSucceed() {}

void ImageCapture::onOpenFailed() {}
