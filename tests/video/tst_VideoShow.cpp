#include "tests/support/TestMain.h"
#include "video/VideoShow.h"

#include <QTcpServer>

namespace {
// An RTSP port that accepts connections and never answers: an open blocks.
const QHostAddress kDrone(QStringLiteral("127.0.0.15"));
}  // namespace

class TestVideoShow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("NIMBRA_DEVICE_ADDRESS", kDrone.toString().toLatin1()); }

    void quitDuringABlockedOpenIsNoFailure() {
        QTcpServer silent;
        QVERIFY2(silent.listen(kDrone, 554), qPrintable(silent.errorString()));
        VideoShow video;
        QSignalSpy failed(&video, &VideoShow::openFailed);
        QSignalSpy succeeded(&video, &VideoShow::openSucceed);
        video.openDownwardRight();
        QCOMPARE(video.url(), QStringLiteral("rtsp://127.0.0.15:554/ov7251_03"));
        QTRY_VERIFY(silent.hasPendingConnections());  // the reader is in its RTSP request
        QTest::qWait(200);
        QVERIFY(video.isRunning());  // still waiting for the server
        video.quitVideo();           // must not wait for the 3 s socket time-out
        QVERIFY(!video.isRunning());
        QTest::qWait(100);
        QCOMPARE(failed.count(), 0);
        QCOMPARE(succeeded.count(), 0);
    }

    void refusedConnectionIsAnOpenFailure() {
        VideoShow video;
        QSignalSpy failed(&video, &VideoShow::openFailed);
        video.openForwardRight();
        QTRY_COMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("open url error"));
    }
};

NIMBRA_CORE_TEST_MAIN(TestVideoShow)
#include "tst_VideoShow.moc"
