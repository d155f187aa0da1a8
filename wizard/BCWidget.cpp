#include "wizard/BCWidget.h"
#include "ui_BCWidget.h"

#include "device/BCInstanceManager.h"
#include "wizard/DeviceStateWidget.h"
#include "wizard/DownwardFinished.h"
#include "wizard/ForwardFinished.h"
#include "device/ImageDeal.h"
#include "device/ModelChange.h"
#include "app/NimbraDesktop.h"
#include "wizard/QuitBC.h"
#include "wizard/VideoFiled.h"
#include "wizard/WaitOpenVideo.h"

#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QScreen>

BCWidget::BCWidget(QWidget* parent) : QWidget(parent), ui(new Ui_BCWidget) {
    ui->setupUi(this);
    QFile sheet(QStringLiteral("://bc.qss"));
    if (sheet.open(QIODevice::ReadOnly)) {
        setStyleSheet(QString::fromUtf8(sheet.readAll()));
    } else {
        qDebug() << "bc.qss" << sheet.errorString();
    }

    m_pWaitOpenVideo = new WaitOpenVideo(this);
    m_pForwardFinished = new ForwardFinished(this);
    m_pDownwardFinished = new DownwardFinished(this);
    m_pQuitBC = new QuitBC(this);
    connect(ui->quitBtn, &QPushButton::clicked, m_pQuitBC, &QWidget::show);

    qRegisterMetaType<VideoShow::VideoPosition>("VideoShow::VideoPosition");
    qRegisterMetaType<ImageCapture::FlightState>("ImageCapture::FlightState");
    BCInstanceManager* mgr = BCInstanceManager::getInstance();
    ModelChange* modelChange = mgr->getModelChange();
    ImageCapture* capture = mgr->getImageCapture();
    connect(modelChange, &ModelChange::requestSucceed, this, &BCWidget::onRequestSucceed);
    connect(modelChange, &ModelChange::requestFailed, this, &BCWidget::onRequestFailed);
    connect(capture, &ImageCapture::imageIndex, this, &BCWidget::onImageIndex,
            Qt::QueuedConnection);
    connect(capture, &ImageCapture::imageChanged, this, &BCWidget::onImageChanged,
            Qt::QueuedConnection);
    connect(capture, &ImageCapture::forwardFinished, m_pForwardFinished,
            &ForwardFinished::startShow, Qt::QueuedConnection);
    connect(capture, &ImageCapture::downwardFinished, m_pDownwardFinished, &QWidget::show,
            Qt::QueuedConnection);
    connect(capture, &ImageCapture::state, this, &BCWidget::onFlightStateChange,
            Qt::QueuedConnection);
    // A camera that never opens ends on the camera-failure overlay too.
    connect(capture, &ImageCapture::cameraFailed, this, &BCWidget::onRequestFailed,
            Qt::QueuedConnection);

    m_pDeviceState = new DeviceStateWidget(this);
    m_pVideoFiled = new VideoFiled(this);

    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    applyGeometry();
}

BCWidget::~BCWidget() {
    delete ui;
}

void BCWidget::applyGeometry() {
    QScreen* screen = nullptr;
    if (QWidget* active = QApplication::activeWindow()) {
        screen = active->screen();
    }
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    if (!screen) {
        return;
    }
    const QRect available = screen->availableGeometry();
    setGeometry(available);
    if (available.width() > kNarrowScreenMaxWidth) {
        ui->leftWidget->setMaximumWidth(500);
        ui->view->setMaximumHeight(500);
        ui->viewWidget->setMinimumHeight(300);
        ui->video->setMinimumHeight(400);
    }
    const QRect overlayRect(available.topLeft(), available.size());
    for (WizardPage* overlay : overlays()) {
        overlay->setGeometry(overlayRect);
    }
}

QList<WizardPage*> BCWidget::overlays() const {
    return {m_pWaitOpenVideo, m_pForwardFinished, m_pDownwardFinished,
            m_pQuitBC,        m_pDeviceState,     m_pVideoFiled};
}

void BCWidget::show() {
    ui->progressBar->reset();
    for (WizardPage* overlay : overlays()) {
        overlay->resetForRun();
    }
    m_pWaitOpenVideo->setVideoType(WaitOpenVideo::Forward);
    m_pWaitOpenVideo->show();
    QWidget::show();
    ui->view->startPlayer(GuidPlayer::TipForward);
    BCInstanceManager::getInstance()->getImageDeal()->startDeal();
}

void BCWidget::hideEvent(QHideEvent* event) {
    ui->view->quitPlayer();
    QWidget::hideEvent(event);
}

void BCWidget::waitDownwardOpenVideo() {
    m_pWaitOpenVideo->setVideoType(WaitOpenVideo::Downward);
    m_pWaitOpenVideo->show();
}

void BCWidget::onStateChange(bool state) {
    if (!state && isVisible()) {
        m_pDeviceState->show();
    }
}

void BCWidget::onFlightStateChange(ImageCapture::FlightState state) {
    switch (state) {
        case ImageCapture::MoveAway:
            ui->video->setTipVisible(true);
            ui->video->setTip(QStringLiteral("请远离屏幕"));
            break;
        case ImageCapture::MoveCloser:
            ui->video->setTipVisible(true);
            ui->video->setTip(QStringLiteral("请靠近屏幕"));
            break;
        case ImageCapture::Normal:
            ui->video->setTipVisible(false);
            break;
        default:
            // Turning hints are not shown; the tip stays as it was.
            break;
    }
}

void BCWidget::onRequestSucceed() {
    qDebug() << "onRequestSucceed open success";
    m_pWaitOpenVideo->hide();
}

void BCWidget::onRequestFailed(QString error) {
    qDebug() << "onRequestFailed" << error;
    m_pVideoFiled->show();
}

void BCWidget::onImageIndex(int value) {
    qDebug() << value << "onImageIndex";
    ui->progressBar->setValue(value);
}

void BCWidget::onImageChanged(VideoShow::VideoPosition position) {
    const bool english = m_langue == QLatin1String("en");
    switch (position) {
        case VideoShow::ForwardLeft:
            ui->title->setText(english ? QStringLiteral("Front calibration")
                                       : QStringLiteral("前视标定"));
            ui->video->setVideoPosition(QStringLiteral("前视·左"));
            break;
        case VideoShow::ForwardRight:
            ui->video->setVideoPosition(QStringLiteral("前视·右"));
            break;
        case VideoShow::DownwardLeft:
            ui->title->setText(english ? QStringLiteral("Downward calibration")
                                       : QStringLiteral("下视标定"));
            ui->video->setVideoPosition(QStringLiteral("下视·左"));
            ui->progressBar->reset();
            ui->view->startPlayer(GuidPlayer::TipDownward);
            m_pWaitOpenVideo->hide();
            break;
        case VideoShow::DownwardRight:
            ui->video->setVideoPosition(QStringLiteral("下视·右"));
            break;
        default:
            break;
    }
}

void BCWidget::langueChange(QString langue) {
    m_langue = langue;
    NimbraDesktop* main = NimbraDesktop::getInstance();
    main->setLabelLangue(ui->title, langue);
    main->setLabelLangue(ui->viewText, langue);
    main->setButtonLangue(ui->quitBtn, langue);
    m_pWaitOpenVideo->langueChange(langue);
    ui->video->setLangue(langue);
    for (WizardPage* overlay :
         {static_cast<WizardPage*>(m_pForwardFinished),
          static_cast<WizardPage*>(m_pDownwardFinished), static_cast<WizardPage*>(m_pDeviceState),
          static_cast<WizardPage*>(m_pQuitBC), static_cast<WizardPage*>(m_pVideoFiled)}) {
        overlay->langueChange(langue);
    }
}

QLabel* BCWidget::title() const {
    return ui->title;
}
QLabel* BCWidget::viewText() const {
    return ui->viewText;
}
QPushButton* BCWidget::quitButton() const {
    return ui->quitBtn;
}
QWidget* BCWidget::leftWidget() const {
    return ui->leftWidget;
}
QWidget* BCWidget::viewWidget() const {
    return ui->viewWidget;
}
QWidget* BCWidget::view() const {
    return ui->view;
}
BCBoard* BCWidget::board() const {
    return ui->board;
}
VideoWidget* BCWidget::video() const {
    return ui->video;
}
ProgressBar* BCWidget::progressBar() const {
    return ui->progressBar;
}
