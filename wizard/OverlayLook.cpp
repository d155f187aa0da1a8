#include "wizard/OverlayLook.h"

#include "device/BCInstanceManager.h"
#include "device/ImageCapture.h"
#include "device/ImageDeal.h"
#include "video/VideoShow.h"

#include <QPalette>
#include <QWidget>

namespace OverlayLook {

void apply(QWidget* overlay) {
    QPalette palette = overlay->palette();
    palette.setColor(QPalette::All, QPalette::Window, QColor(0, 0, 0, 77));
    overlay->setPalette(palette);
    overlay->setAutoFillBackground(true);
    overlay->hide();
}

void stopRun() {
    BCInstanceManager* mgr = BCInstanceManager::getInstance();
    mgr->getVideoShow()->quitVideo();
    mgr->getImageDeal()->quitDeal();
    mgr->getImageCapture()->quitCapture();
}

}  // namespace OverlayLook
