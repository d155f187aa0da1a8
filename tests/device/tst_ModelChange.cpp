#include "tests/support/FakeHttpServer.h"
#include "device/ModelChange.h"
#include "tests/support/TestMain.h"
#include "video/VideoShow.h"

namespace {
// No RTSP server runs here, so every camera open fails fast ("open url error").
const QHostAddress kDrone(QStringLiteral("127.0.0.12"));
}  // namespace

class TestModelChange : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("NIMBRA_DEVICE_ADDRESS", kDrone.toString().toLatin1()); }

    void refusedSwitchFailsWithTheReason_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("reason");
        QTest::newRow("status 404")
            << 404 << QByteArray("Not Found") << "code is not 200, code = 404";
        QTest::newRow("body without Success") << 200 << QByteArray("Failure") << "request failed";
    }

    void refusedSwitchFailsWithTheReason() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, reason);
        FakeHttpServer http;
        QVERIFY2(http.listen(kDrone, 80), qPrintable(http.errorString()));
        http.setResponse(status, body);
        VideoShow video;
        ModelChange change(&video);
        QSignalSpy failed(&change, &ModelChange::requestFailed);
        change.request();
        QTRY_COMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), reason);
        QCOMPARE(video.position(), VideoShow::Unknown);  // no camera opened
        QCOMPARE(http.requestLines().value(0),
                 QByteArray("GET /nimbra-ap03/switch=demarcate_mode HTTP/1.1"));
    }

    // A camera that does not open is retried with a new request after five
    // seconds, until quit(): then the pending retry is dropped and the next
    // failure is final.
    void successOpensTheForwardLeftCameraRetriedUntilQuit() {
        FakeHttpServer http;
        QVERIFY(http.listen(kDrone, 80));
        http.setResponse(200, "Success, switched to demarcate mode");
        VideoShow video;
        ModelChange change(&video);
        QSignalSpy failed(&change, &ModelChange::requestFailed);
        QSignalSpy succeeded(&change, &ModelChange::requestSucceed);
        QSignalSpy opened(&video, &VideoShow::openFailed);
        change.request();
        QTRY_COMPARE(opened.count(), 1);
        QCOMPARE(video.position(), VideoShow::ForwardLeft);
        QCOMPARE(video.url(), QStringLiteral("rtsp://127.0.0.12:554/ov7251_02"));
        QCOMPARE(failed.count(), 0);

        QTRY_COMPARE_WITH_TIMEOUT(http.requestLines().size(), 2, ModelChange::kRetryMs + 5000);
        // The retry timer starts after the failed open, which follows the
        // first request; a coarse timer may fire up to 5 % early.
        QVERIFY(http.requestTimes().at(1) - http.requestTimes().at(0) >=
                ModelChange::kRetryMs * 95 / 100);
        QTRY_COMPARE(opened.count(), 2);
        // The switch hears of the failure through a queued call: let it arrive,
        // so that quit() finds the second retry pending.
        QTest::qWait(50);

        change.quit();
        QTest::qWait(ModelChange::kRetryMs + 500);
        QCOMPARE(http.requestLines().size(), 2);
        // A failure heard after quit() is final (on a very slow machine the
        // second one may already have been).
        if (failed.isEmpty()) {
            emit video.openFailed(QStringLiteral("open url error"));
        }
        QTRY_COMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("open url error"));
        QCOMPARE(succeeded.count(), 0);
        video.quitVideo();
    }
};

NIMBRA_CORE_TEST_MAIN(TestModelChange)
#include "tst_ModelChange.moc"
