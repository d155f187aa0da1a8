#include "ModelChange.h"

#include "VideoShow.h"

ModelChange::ModelChange(VideoShow* video, QObject* parent) : QObject(parent), m_pVideo(video) {
    connect(m_pVideo, &VideoShow::openSucceed, this, &ModelChange::onOpenSucceed);
    connect(m_pVideo, &VideoShow::openFailed, this, &ModelChange::onOpenFailed);
}

void ModelChange::onOpenSucceed() {}

void ModelChange::onOpenFailed(QString) {}
