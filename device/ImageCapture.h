#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QRect>
#include <QString>
#include <QThread>

#include <atomic>

#include "device/CameraOpenRetry.h"
#include "device/wire/CapturePacketParser.h"
#include "device/wire/CaptureStreamAssembler.h"
#include "device/wire/FlightGuidance.h"
#include "video/VideoShow.h"

class QTcpSocket;

// Client of the drone's capture control channel (TCP 10000). Started by the
// data channel once that is connected: sends "startfront" (and later
// "startdown"), asks the mode switch to put the drone in calibration mode, and
// turns the drone's 71-byte status packets into guidance signals, switching
// the stream reader from the left to the right camera at image 12 and
// reporting each pair's end at image 25. A camera other than the forward left
// one (the mode switch's) that fails to open is tried again after growing
// pauses; when it has failed for CameraOpenRetry's limit (about 20 s) the
// channel gives up with cameraFailed, so the user is never left waiting.
//
// Moves itself to its own thread; the socket, parsing and writes run there.
// FlightState is FlightGuidance's enumeration (ImageCapture::MoveAway, ...).
class ImageCapture : public QThread, public FlightGuidance {
    Q_OBJECT

public:
    static constexpr quint16 kPort = 10000;

    ImageCapture(VideoShow* video, QObject* parent = nullptr);
    ~ImageCapture() override;

    VideoShow* videoShow() const { return m_pVideo; }
    bool isRightView() const { return m_bRightView; }
    bool isDownView() const { return m_bDownView; }

signals:
    void state(ImageCapture::FlightState fs);
    void imageIndex(int index);
    void imageChanged(VideoShow::VideoPosition pos);
    void circlePos(QRect c1, QRect c2, QRect c3, int pos, int frame, int index, bool isDownView);
    void forwardFinished();
    void downwardFinished();
    // A camera kept failing to open for the retry limit; nothing retries it.
    void cameraFailed(QString error);
    // Declared for the channel's users; this channel never emits them.
    void connected();
    void disconnected();
    void communicationError(const QString& title, const QString& error);

public slots:
    void startCapture();
    void forward2Downward();
    void quitCapture();
    void onSocketError();
    void onReadyRead();
    void onOpenSucceed();
    void onOpenFailed();
    void invokeWriteBytes(QByteArray data);

protected:
    void run() override;

private:
    void handlePacket(QByteArray& packet);
    // The camera wanted changes (a new run, the user, a camera that opened):
    // retries scheduled before no longer apply.
    void forgetOpenFailures() { ++m_openGeneration; }

    QTcpSocket* m_pSocket = nullptr;
    VideoShow* m_pVideo = nullptr;
    CapturePacketParser m_parser;  // holds the far/near counter
    bool m_bRightView = true;
    bool m_bDownView = true;
    CaptureStreamAssembler m_assembler;  // holds the cache
    // Retries of a failing camera, in the channel's thread. m_openGeneration
    // is bumped from any thread; a failure of another generation or camera
    // than the last one starts the count anew.
    CameraOpenRetry m_openRetry{CameraOpenRetry::limitFromEnvironment()};
    QElapsedTimer m_openClock;
    std::atomic<quint64> m_openGeneration{0};
    quint64 m_retryGeneration = 0;
    VideoShow::VideoPosition m_retryCamera = VideoShow::Unknown;
};
