#include "device/BCInstanceManager.h"
#include "wizard/BCWidget.h"
#include "wizard/DeviceStateWidget.h"
#include "wizard/DownwardFinished.h"
#include "wizard/ForwardFinished.h"
#include "device/ImageCapture.h"
#include "device/ImageDeal.h"
#include "device/ModelChange.h"
#include "app/NimbraDesktop.h"
#include "wizard/ProgressBar.h"
#include "wizard/ProgressWidget.h"
#include "wizard/QuitBC.h"
#include "tests/support/TestMain.h"
#include "wizard/VideoFiled.h"
#include "video/VideoShow.h"
#include "video/VideoWidget.h"
#include "wizard/WaitOpenVideo.h"

#include <QLabel>
#include <QMutex>
#include <QPushButton>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QTcpServer>
#include <QtTest>

// Every device connection of this suite goes to a loopback address of its own
// where nothing listens, except the stream server a test starts itself.
static const char* const kDeviceAddress = "127.0.0.77";

// The calibration window driven by the capture channel's signals as a run
// produces them, and the three buttons that end a run.
class TestBCWidget : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        qputenv("NIMBRA_DEVICE_ADDRESS", kDeviceAddress);
        main = NimbraDesktop::getInstance();
        bc = main->bcWidget();
        BCInstanceManager* mgr = BCInstanceManager::getInstance();
        capture = mgr->getImageCapture();
        deal = mgr->getImageDeal();
        video = mgr->getVideoShow();
        modelChange = mgr->getModelChange();
    }

    void cleanup() {
        // Calls queued for a channel thread that never ran (forward2Downward from
        // the forward-finished button) must not leak into the next test.
        QCoreApplication::removePostedEvents(capture);
        video->quitVideo();
        deal->quitDeal();
        capture->quitCapture();
        // Overlays stay as each test leaves them: a new run must clear them.
        static_cast<QWidget*>(bc)->hide();
    }

    // What one run leaves on the window (the forward-finished overlay under a
    // lost device, a lost device under the camera failure) is gone when the
    // user ends it, and a new run opens on the wait overlay alone: a leftover
    // forward-finished "确定" would switch the new run's capture to the
    // downward cameras.
    void aRunEndedEarlyLeavesNothingForTheNext_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("endingOverlay");
        QTest::addColumn<QString>("endingButton");
        QTest::newRow("device lost on forward finished") << "forward finished"
                                                         << "DeviceStateWidget"
                                                         << "ok";
        QTest::newRow("device lost on camera failure") << "camera failure"
                                                       << "VideoFiled"
                                                       << "restart";
        QTest::newRow("quit while the forward pair is done") << "forward finished"
                                                             << "QuitBC"
                                                             << "btn";
    }
    void aRunEndedEarlyLeavesNothingForTheNext() {
        QFETCH(QString, first);
        QFETCH(QString, endingOverlay);
        QFETCH(QString, endingButton);

        bc->show();
        if (first == QLatin1String("forward finished")) {
            emit capture->forwardFinished();
            QTRY_VERIFY(bc->forwardFinishedOverlay()->isVisible());
        } else {
            emit modelChange->requestFailed(QStringLiteral("switch refused"));
            QVERIFY(bc->videoFailedOverlay()->isVisible());
        }
        bc->onStateChange(false);
        QVERIFY(bc->deviceOverlay()->isVisible());
        QWidget* ending = bc->findChild<QWidget*>(endingOverlay);
        ending->show();
        QTest::mouseClick(button(ending, qPrintable(endingButton)), Qt::LeftButton);
        QVERIFY(!bc->isVisible());
        QCOMPARE(visibleOverlays(), QStringList());

        bc->show();
        QTRY_VERIFY(deal->isRunning());
        QCOMPARE(visibleOverlays(), QStringList{QStringLiteral("WaitOpenVideo")});
    }

    // The main window's result pages start every run afresh: the progress of
    // a run whose data never came shows zero, not the last run's result.
    void aNewRunDoesNotEndOnTheLastRunsResult() {
        emit deal->progress(52);
        main->onResult(false);
        QCOMPARE(main->stack()->currentIndex(), int(NimbraDesktop::NgPage));

        main->setBCShow();
        QVERIFY(bc->isVisible());
        QVERIFY(!main->isVisible());
        emit capture->downwardFinished();
        QTRY_VERIFY(bc->downwardFinishedOverlay()->isVisible());
        QTest::mouseClick(button(bc->downwardFinishedOverlay(), "btn"), Qt::LeftButton);
        QVERIFY(main->isVisible());
        QCOMPARE(main->stack()->currentIndex(), int(NimbraDesktop::ProgressPage));
        auto* progress =
            qobject_cast<ProgressWidget*>(main->stack()->widget(NimbraDesktop::ProgressPage));
        QCOMPARE(progress->value(), 0);

        // This run's own values then move it on as before.
        emit deal->progress(52);
        main->onResult(true);
        QCOMPARE(main->stack()->currentIndex(), int(NimbraDesktop::OkPage));
    }

    void runEndingButtonsStopReaderDataAndCaptureInOrder_data() {
        QTest::addColumn<QString>("overlayName");
        QTest::addColumn<QString>("buttonName");
        QTest::addColumn<bool>("mainAtOnce");
        QTest::newRow("quit") << "QuitBC"
                              << "btn" << true;
        QTest::newRow("device lost") << "DeviceStateWidget"
                                     << "ok" << true;
        QTest::newRow("cameras failed") << "VideoFiled"
                                        << "restart" << false;
    }

    void runEndingButtonsStopReaderDataAndCaptureInOrder() {
        QFETCH(QString, overlayName);
        QFETCH(QString, buttonName);
        QFETCH(bool, mainAtOnce);

        // A stream server that accepts and never answers keeps the reader busy
        // until it is told to stop.
        QTcpServer rtsp;
        if (!rtsp.listen(QHostAddress(QString::fromLatin1(kDeviceAddress)), 554)) {
            QSKIP("cannot listen on the RTSP port (needs the right to bind port 554)");
        }
        QMutex mutex;
        QStringList stopped;
        auto record = [&](const QString& name) {
            QMutexLocker lock(&mutex);
            stopped << name;
        };
        QList<QMetaObject::Connection> connections;
        connections << connect(
            video, &QThread::finished, this, [&] { record("video"); }, Qt::DirectConnection);
        connections << connect(
            deal, &QThread::finished, this, [&] { record("deal"); }, Qt::DirectConnection);
        connections << connect(
            capture, &QThread::finished, this, [&] { record("capture"); }, Qt::DirectConnection);

        auto disconnectAll = qScopeGuard([&] {
            for (const auto& c : connections) {
                disconnect(c);
            }
        });

        main->hide();
        static_cast<QWidget*>(bc)->show();
        deal->startDeal();
        capture->start();
        video->openVideo(VideoShow::ForwardLeft);
        QTRY_VERIFY(rtsp.hasPendingConnections() || rtsp.waitForNewConnection(50));
        QVERIFY(video->isRunning());
        QVERIFY(deal->isRunning());
        QVERIFY(capture->isRunning());

        QWidget* overlay = bc->findChild<QWidget*>(overlayName);
        QVERIFY(overlay);
        overlay->show();
        QTest::mouseClick(button(overlay, qPrintable(buttonName)), Qt::LeftButton);
        {
            QMutexLocker lock(&mutex);
            QCOMPARE(stopped.join(' '), QStringLiteral("video deal capture"));
        }
        QVERIFY(overlay->isHidden());
        QVERIFY(!bc->isVisible());
        if (mainAtOnce) {
            QVERIFY(main->isVisible());
        } else {
            QVERIFY(!main->isVisible());
            QTest::qWait(VideoFiled::kMainWindowDelayMs / 2);
            QVERIFY(!main->isVisible());
            QTRY_VERIFY_WITH_TIMEOUT(main->isVisible(), 3000);
        }
    }

private:
    static QPushButton* button(QWidget* overlay, const char* name) {
        return overlay->findChild<QPushButton*>(QLatin1String(name));
    }
    QStringList visibleOverlays() const {
        QStringList names;
        for (QWidget* overlay :
             {static_cast<QWidget*>(bc->waitOverlay()),
              static_cast<QWidget*>(bc->forwardFinishedOverlay()),
              static_cast<QWidget*>(bc->downwardFinishedOverlay()),
              static_cast<QWidget*>(bc->quitOverlay()), static_cast<QWidget*>(bc->deviceOverlay()),
              static_cast<QWidget*>(bc->videoFailedOverlay())}) {
            if (!overlay->isHidden()) {
                names << QString::fromLatin1(overlay->metaObject()->className());
            }
        }
        return names;
    }

    NimbraDesktop* main = nullptr;
    BCWidget* bc = nullptr;
    ImageCapture* capture = nullptr;
    ImageDeal* deal = nullptr;
    VideoShow* video = nullptr;
    ModelChange* modelChange = nullptr;
};

NIMBRA_GUI_TEST_MAIN(TestBCWidget)
#include "tst_BCWidget.moc"
