#include "device/ImageCapture.h"

#include "device/BCInstanceManager.h"
#include "device/DeviceAddress.h"
#include "device/ImageDeal.h"
#include "device/ModelChange.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMetaEnum>
#include <QTcpSocket>
#include <QTimer>

ImageCapture::ImageCapture(VideoShow* video, QObject* parent) : QThread(parent), m_pVideo(video) {
    moveToThread(this);
    qRegisterMetaType<ImageCapture::FlightState>("FlightState");
    qRegisterMetaType<ImageCapture::FlightState>("ImageCapture::FlightState");
    connect(m_pVideo, &VideoShow::openSucceed, this, &ImageCapture::onOpenSucceed,
            Qt::QueuedConnection);
    connect(m_pVideo, &VideoShow::openFailed, this, &ImageCapture::onOpenFailed,
            Qt::QueuedConnection);
    m_openClock.start();
}

ImageCapture::~ImageCapture() {
    quit();
    wait();
}

void ImageCapture::startCapture() {
    qDebug() << "startCapture";
    if (isRunning()) {
        quit();
        wait();
    }
    // Calls queued while the thread stood still belong to the run that ended
    // (a camera failure would otherwise reopen its camera in the new run).
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    forgetOpenFailures();
    start(QThread::InheritPriority);
}

void ImageCapture::run() {
    qDebug() << "run--" << QThread::currentThreadId();
    if (!m_pSocket) {
        m_pSocket = new QTcpSocket();
        connect(m_pSocket, &QTcpSocket::readyRead, this, &ImageCapture::onReadyRead);
        connect(m_pSocket, &QAbstractSocket::errorOccurred, this, &ImageCapture::onSocketError);
        connect(m_pSocket, &QTcpSocket::disconnected, this, [] {
            qDebug() << "ImageCapture disconnected";
            QMetaObject::invokeMethod(BCInstanceManager::getInstance()->getModelChange(), "quit",
                                      Qt::AutoConnection);
        });
        connect(m_pSocket, &QAbstractSocket::stateChanged, this,
                [](QAbstractSocket::SocketState s) { qDebug() << s << "ImageCapture"; });
    }
    // The socket was made by an earlier run of this thread object: it stays
    // with it, since this object lives in its own thread.
    m_pSocket->abort();
    m_assembler.reset();  // a new connection is a new stream
    m_pSocket->connectToHost(DeviceAddress::host(), kPort, QIODevice::ReadWrite);
    if (m_pSocket->waitForConnected(3000)) {
        qDebug() << "ImageCapture connected";
        QMetaObject::invokeMethod(BCInstanceManager::getInstance()->getImageDeal(), "writeStart",
                                  Qt::AutoConnection);
        m_pSocket->write("startfront");
        QMetaObject::invokeMethod(BCInstanceManager::getInstance()->getModelChange(), "request",
                                  Qt::AutoConnection);
    }
    exec();
    m_pSocket->disconnectFromHost();
}

void ImageCapture::onReadyRead() {
    const QByteArray chunk = m_pSocket->readAll();
    m_assembler.receive(chunk, [this](QByteArray& packet) { handlePacket(packet); });
}

void ImageCapture::handlePacket(QByteArray& packet) {
    const CaptureEvents ev = m_parser.packetParser(packet, m_bDownView, m_bRightView);
    if (ev.state) {
        emit state(*ev.state);
    }
    if (ev.imageIndex) {
        emit imageIndex(*ev.imageIndex);
    }
    if (ev.forwardFinished) {
        // The camera flags follow the camera that last opened. Once the
        // downward cameras are asked for, a pair's end under the forward flags
        // is the downward pair's, captured while its camera never opened; a
        // second forward-finished overlay would send "startdown" again.
        const VideoShow::VideoPosition wanted = m_pVideo->position();
        if (wanted == VideoShow::DownwardLeft || wanted == VideoShow::DownwardRight) {
            qDebug() << "end of a pair ignored: the downward cameras have not opened";
        } else {
            emit forwardFinished();
        }
    }
    if (ev.downwardFinished) {
        emit downwardFinished();
    }
    switch (ev.cameraSwitch) {
        case CaptureEvents::CameraSwitch::ToForwardRight:
            m_pVideo->openForwardRight();
            break;
        case CaptureEvents::CameraSwitch::ToDownwardRight:
            m_pVideo->openDownwardRight();
            break;
        case CaptureEvents::CameraSwitch::None:
            break;
    }
    if (ev.circles) {
        const CirclePositions& c = *ev.circles;
        emit circlePos(c.c1, c.c2, c.c3, c.pos, c.frame, c.index, c.isDownView);
    }
}

void ImageCapture::onOpenSucceed() {
    const VideoShow::VideoPosition pos = m_pVideo->position();
    qDebug() << "change video success" << pos;
    forgetOpenFailures();
    m_bDownView = pos == VideoShow::DownwardLeft || pos == VideoShow::DownwardRight;
    m_bRightView = pos == VideoShow::ForwardRight || pos == VideoShow::DownwardRight;
    emit imageChanged(pos);
}

void ImageCapture::onOpenFailed() {
    const VideoShow::VideoPosition camera = m_pVideo->position();
    if (camera == VideoShow::ForwardLeft) {
        return;  // the mode switch retries the first camera of a run
    }
    const quint64 generation = m_openGeneration.load();
    if (generation != m_retryGeneration || camera != m_retryCamera) {
        m_openRetry.reset();
        m_retryGeneration = generation;
        m_retryCamera = camera;
    }
    const int pauseMs = m_openRetry.failed(m_openClock.elapsed());
    if (pauseMs == CameraOpenRetry::kGiveUp) {
        const QString error =
            QStringLiteral("camera %1 did not open in %2 attempts over %3 ms")
                .arg(QLatin1String(
                    QMetaEnum::fromType<VideoShow::VideoPosition>().valueToKey(camera)))
                .arg(m_openRetry.failures())
                .arg(m_openRetry.failingForMs(m_openClock.elapsed()));
        qDebug().noquote() << error;
        emit cameraFailed(error);
        return;
    }
    if (m_openRetry.failures() == 1) {
        qDebug() << "camera" << camera << "failed to open; trying again with growing pauses";
    }
    QTimer::singleShot(pauseMs, this, [this, generation, camera] {
        if (generation == m_openGeneration.load() && m_pVideo->position() == camera) {
            m_pVideo->reOpen();
        }
    });
}

void ImageCapture::forward2Downward() {
    forgetOpenFailures();
    m_pVideo->openDownwardLeft();
    QMetaObject::invokeMethod(this, "invokeWriteBytes", Qt::AutoConnection,
                              Q_ARG(QByteArray, QByteArray("startdown")));
}

void ImageCapture::invokeWriteBytes(QByteArray data) {
    if (m_pSocket) {
        m_pSocket->write(data);
    }
}

void ImageCapture::quitCapture() {
    forgetOpenFailures();
    if (isRunning()) {
        quit();
        wait();
    }
}

void ImageCapture::onSocketError() {
    if (m_pSocket) {
        qDebug() << m_pSocket->errorString();
    }
}
