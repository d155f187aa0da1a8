#include "wizard/WizardPage.h"

#include "app/NimbraDesktop.h"
#include "device/BCInstanceManager.h"
#include "device/ImageCapture.h"
#include "device/ImageDeal.h"
#include "video/VideoShow.h"

#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QTimer>

WizardPage::WizardPage(Kind kind, QWidget* parent) : QWidget(parent), m_kind(kind) {
    if (m_kind == Kind::Overlay) {
        QPalette darkened = palette();
        darkened.setColor(QPalette::All, QPalette::Window, QColor(0, 0, 0, 77));
        setPalette(darkened);
        setAutoFillBackground(true);
        hide();
    }
}

void WizardPage::setTranslatedTexts(std::initializer_list<QLabel*> labels,
                                    std::initializer_list<QPushButton*> buttons) {
    m_labels = labels;
    m_buttons = buttons;
}

void WizardPage::langueChange(QString langue) {
    m_langue = langue;
    NimbraDesktop* main = NimbraDesktop::getInstance();
    for (QLabel* label : qAsConst(m_labels)) {
        main->setLabelLangue(label, langue);
    }
    for (QPushButton* button : qAsConst(m_buttons)) {
        main->setButtonLangue(button, langue);
    }
}

QString WizardPage::inLangue(const QString& zh) const {
    return m_langue == QLatin1String("en") ? NimbraDesktop::getInstance()->zhToEn(zh) : zh;
}

void WizardPage::resetForRun() {
    if (m_kind == Kind::Overlay) {
        hide();
    }
}

void WizardPage::closeCalibrationWindow() {
    QWidget* window = parentWidget();
    if (!window) {
        resetForRun();
        return;
    }
    const auto overlays = window->findChildren<WizardPage*>(QString(), Qt::FindDirectChildrenOnly);
    for (WizardPage* overlay : overlays) {
        if (overlay->isOverlay()) {
            overlay->resetForRun();
        }
    }
    window->hide();
}

void WizardPage::endRun(int mainWindowDelayMs) {
    BCInstanceManager* mgr = BCInstanceManager::getInstance();
    mgr->getVideoShow()->quitVideo();
    mgr->getImageDeal()->quitDeal();
    mgr->getImageCapture()->quitCapture();
    closeCalibrationWindow();
    NimbraDesktop* main = NimbraDesktop::getInstance();
    if (mainWindowDelayMs <= 0) {
        main->show();
    } else {
        QTimer::singleShot(mainWindowDelayMs, main, &QWidget::show);
    }
}
