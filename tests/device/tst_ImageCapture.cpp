#include "device/BCInstanceManager.h"
#include "device/ImageCapture.h"
#include "device/wire/StatusPacket.h"
#include "tests/support/TestMain.h"
#include "video/VideoShow.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace {

// No RTSP server listens here: every camera open fails at once.
const QHostAddress kDrone(QStringLiteral("127.0.0.14"));

QByteArray status(int index, int frame, int pos, float ratio = 0.9f, int rotation = 0) {
    IMAGE::ImageData d;
    d.index = index;
    d.frame = frame;
    d.pos = pos;
    d.ratio = ratio;
    d.rotation = rotation;
    d.circles = {{{100, 120, 10}, {200, 220, 12}, {300, 320, 14}}};
    return d.toBytes();
}

// The drone's capture control side: records what the desktop sends.
struct CaptureServer {
    QTcpServer server;
    QTcpSocket* peer = nullptr;
    QByteArray received;
    int connections = 0;

    CaptureServer() {
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                ++connections;
                peer = s;
                QObject::connect(s, &QTcpSocket::readyRead,
                                 [this, s] { received += s->readAll(); });
            }
        });
    }
};

}  // namespace

// The capture control session against a scripted drone: what it sends, the
// signals status packets give, and the camera switches it makes.
class TestImageCapture : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        qputenv("NIMBRA_DEVICE_ADDRESS", kDrone.toString().toLatin1());
        qRegisterMetaType<QRect>();
    }

    void connectingSendsStartfrontAndLeftToRightSwitchAtTwelve() {
        CaptureServer drone;
        QVERIFY(drone.server.listen(kDrone, ImageCapture::kPort));
        VideoShow video;
        ImageCapture capture(&video);
        QSignalSpy index(&capture, &ImageCapture::imageIndex);
        QSignalSpy circles(&capture, &ImageCapture::circlePos);
        QSignalSpy changed(&capture, &ImageCapture::imageChanged);
        QSignalSpy forward(&capture, &ImageCapture::forwardFinished);
        QSignalSpy downward(&capture, &ImageCapture::downwardFinished);

        capture.startCapture();
        QTRY_VERIFY_WITH_TIMEOUT(drone.received.contains("startfront"), 5000);

        // The forward left camera is reported open.
        video.openForwardLeft();
        video.quitVideo();
        emit video.openSucceed();
        QTRY_COMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).value<VideoShow::VideoPosition>(), VideoShow::ForwardLeft);
        QTRY_VERIFY(!capture.isRightView() && !capture.isDownView());

        for (int i = 0; i <= 12; ++i) {
            drone.peer->write(status(i, 4, 1));  // approaching the shot
            drone.peer->write(status(i, 5, 1));  // taken
        }
        QTRY_COMPARE(index.count(), 13);
        QCOMPARE(index.last().at(0).toInt(), 12);
        // Image 12 taken by the left camera: the reader moves to the right one.
        QTRY_COMPARE(video.position(), VideoShow::ForwardRight);
        QVERIFY(circles.count() >= 13);
        QCOMPARE(forward.count(), 0);
        QCOMPARE(downward.count(), 0);
        video.quitVideo();
        capture.quitCapture();
    }

    void rightCameraFinishesThePairAtTwentyFive_data() {
        QTest::addColumn<int>("opened");
        QTest::addColumn<bool>("forwardDone");
        QTest::addColumn<bool>("downwardDone");
        QTest::newRow("forward right") << int(VideoShow::ForwardRight) << true << false;
        QTest::newRow("downward right") << int(VideoShow::DownwardRight) << false << true;
    }

    void rightCameraFinishesThePairAtTwentyFive() {
        QFETCH(int, opened);
        QFETCH(bool, forwardDone);
        QFETCH(bool, downwardDone);
        CaptureServer drone;
        QVERIFY(drone.server.listen(kDrone, ImageCapture::kPort));
        VideoShow video;
        ImageCapture capture(&video);
        QSignalSpy forward(&capture, &ImageCapture::forwardFinished);
        QSignalSpy downward(&capture, &ImageCapture::downwardFinished);
        capture.startCapture();
        QTRY_VERIFY_WITH_TIMEOUT(drone.peer, 5000);

        video.openVideo(static_cast<VideoShow::VideoPosition>(opened));
        video.quitVideo();
        emit video.openSucceed();
        QTRY_VERIFY(capture.isRightView());
        drone.peer->write(status(12, 5, 1));  // a right camera switches nothing at 12
        drone.peer->write(status(25, 5, 1));
        QTRY_COMPARE(forward.count() + downward.count(), 1);
        QCOMPARE(forward.count() == 1, forwardDone);
        QCOMPARE(downward.count() == 1, downwardDone);
        QCOMPARE(video.position(), static_cast<VideoShow::VideoPosition>(opened));
        capture.quitCapture();
    }

    void forward2DownwardOpensDownwardLeftAndSendsStartdown() {
        CaptureServer drone;
        QVERIFY(drone.server.listen(kDrone, ImageCapture::kPort));
        VideoShow video;
        ImageCapture capture(&video);
        capture.startCapture();
        QTRY_VERIFY_WITH_TIMEOUT(drone.received.contains("startfront"), 5000);
        // Only the first open failure matters here: stop the reopen loop.
        QObject::disconnect(&video, &VideoShow::openFailed, &capture, nullptr);
        capture.forward2Downward();
        QTRY_VERIFY(drone.received.endsWith("startdown"));
        QCOMPARE(video.position(), VideoShow::DownwardLeft);
        video.quitVideo();
        capture.quitCapture();
    }

    void failedOpenIsRetriedExceptForwardLeft() {
        VideoShow video;
        ImageCapture capture(&video);
        capture.startCapture();  // its slots run in its own thread: no drone needed
        QSignalSpy failures(&video, &VideoShow::openFailed);
        video.openForwardLeft();
        QTRY_COMPARE(failures.count(), 1);
        QTest::qWait(500);
        QCOMPARE(failures.count(), 1);  // left to the mode switch

        video.openDownwardRight();
        QTRY_VERIFY_WITH_TIMEOUT(failures.count() >= 3, 5000);  // reopened at once, again
        QCOMPARE(video.position(), VideoShow::DownwardRight);
        QObject::disconnect(&video, &VideoShow::openFailed, &capture, nullptr);
        video.quitVideo();
        capture.quitCapture();
    }

    void restartReconnectsAndKeepsTheCameraFlags() {
        CaptureServer drone;
        QVERIFY(drone.server.listen(kDrone, ImageCapture::kPort));
        VideoShow video;
        ImageCapture capture(&video);
        capture.startCapture();
        QTRY_COMPARE_WITH_TIMEOUT(drone.connections, 1, 5000);
        video.openDownwardLeft();
        QObject::disconnect(&video, &VideoShow::openFailed, &capture, nullptr);
        video.quitVideo();
        emit video.openSucceed();
        QTRY_VERIFY(capture.isDownView());
        capture.startCapture();
        QTRY_COMPARE_WITH_TIMEOUT(drone.connections, 2, 5000);
        QVERIFY(capture.isDownView() && !capture.isRightView());
        capture.quitCapture();
    }
};

NIMBRA_CORE_TEST_MAIN(TestImageCapture)
#include "tst_ImageCapture.moc"
