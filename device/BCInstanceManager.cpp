#include "device/BCInstanceManager.h"

#include "device/ImageCapture.h"
#include "device/ImageDeal.h"
#include "device/ModelChange.h"
#include "video/VideoShow.h"

// Built before main: every page and channel asks the registry for the session
// objects, so they must exist before the first window does.
BCInstanceManager* BCInstanceManager::m_BCMgr = new BCInstanceManager(nullptr);

BCInstanceManager::BCInstanceManager(QObject* parent) : QObject(parent) {
    m_pVideo = new VideoShow(nullptr);
    m_pDeal = new ImageDeal(nullptr);
    m_pCapture = new ImageCapture(m_pVideo, nullptr);
    m_pModelChange = new ModelChange(m_pVideo, nullptr);
    // The end of the capture bounds how long the data channel waits for the
    // run's last image.
    QObject::connect(m_pCapture, &ImageCapture::downwardFinished, m_pDeal,
                     &ImageDeal::onDownwardFinished, Qt::QueuedConnection);
}

BCInstanceManager::~BCInstanceManager() {
    m_pCapture->deleteLater();
    m_pVideo->deleteLater();
    m_pModelChange->deleteLater();
    m_pDeal->deleteLater();
}

BCInstanceManager* BCInstanceManager::getInstance() {
    return m_BCMgr;
}
