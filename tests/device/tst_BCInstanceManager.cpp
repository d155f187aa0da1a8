#include "device/BCInstanceManager.h"
#include "device/DeviceAddress.h"
#include "device/ImageCapture.h"
#include "device/ImageDeal.h"
#include "device/ModelChange.h"
#include "tests/support/TestMain.h"
#include "video/VideoShow.h"

#include <QFuture>
#include <QtConcurrent/QtConcurrent>

class TestBCInstanceManager : public QObject {
    Q_OBJECT

private slots:
    void gettersReturnTheSameObjectsFromEveryThread() {
        struct Seen {
            BCInstanceManager* mgr;
            ImageCapture* capture;
            ImageDeal* deal;
            VideoShow* video;
            ModelChange* model;
        };
        auto look = [] {
            BCInstanceManager* m = BCInstanceManager::getInstance();
            return Seen{m, m->getImageCapture(), m->getImageDeal(), m->getVideoShow(),
                        m->getModelChange()};
        };
        const Seen here = look();
        QVERIFY(here.mgr && here.capture && here.deal && here.video && here.model);
        QVERIFY(!here.mgr->parent());
        QVector<QFuture<Seen>> there;
        for (int i = 0; i < 6; ++i)
            there << QtConcurrent::run(look);
        for (auto& f : there) {
            const Seen s = f.result();
            QCOMPARE(s.mgr, here.mgr);
            QCOMPARE(s.capture, here.capture);
            QCOMPARE(s.deal, here.deal);
            QCOMPARE(s.video, here.video);
            QCOMPARE(s.model, here.model);
        }
    }

    void captureAndModeSwitchListenToTheRegistrysReader() {
        BCInstanceManager* mgr = BCInstanceManager::getInstance();
        VideoShow* video = mgr->getVideoShow();
        QCOMPARE(mgr->getImageCapture()->videoShow(), video);
        QCOMPARE(mgr->getModelChange()->videoShow(), video);
    }

    void sessionThreadsAreNotRunningYet() {
        BCInstanceManager* mgr = BCInstanceManager::getInstance();
        QVERIFY(!mgr->getVideoShow()->isRunning());
        QVERIFY(!mgr->getImageDeal()->isRunning());
        QVERIFY(!mgr->getImageCapture()->isRunning());
        // The channel objects belong to their own (not yet started) threads.
        QCOMPARE(mgr->getImageDeal()->thread(), static_cast<QThread*>(mgr->getImageDeal()));
        QCOMPARE(mgr->getImageCapture()->thread(), static_cast<QThread*>(mgr->getImageCapture()));
        QCOMPARE(mgr->getModelChange()->thread(), QThread::currentThread());
    }

    void deviceAddressDefaultsAndOverride() {
        const QByteArray saved = qgetenv("NIMBRA_DEVICE_ADDRESS");
        qunsetenv("NIMBRA_DEVICE_ADDRESS");
        QCOMPARE(DeviceAddress::host(), DeviceAddress::compiledDefault());
        QCOMPARE(DeviceAddress::compiledDefault(), QStringLiteral("127.0.0.1"));
        qputenv("NIMBRA_DEVICE_ADDRESS", "127.0.0.42");
        QCOMPARE(DeviceAddress::host(), QStringLiteral("127.0.0.42"));
        qputenv("NIMBRA_DEVICE_ADDRESS", "  ");
        QCOMPARE(DeviceAddress::host(), DeviceAddress::compiledDefault());
        if (saved.isNull()) {
            qunsetenv("NIMBRA_DEVICE_ADDRESS");
        } else {
            qputenv("NIMBRA_DEVICE_ADDRESS", saved);
        }
    }

    void streamUrlsCrossThePathNumbers_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("url");
        QTest::newRow("forward left") << 0 << "rtsp://127.0.0.9:554/ov7251_02";
        QTest::newRow("forward right") << 1 << "rtsp://127.0.0.9:554/ov7251_01";
        QTest::newRow("downward left") << 2 << "rtsp://127.0.0.9:554/ov7251_04";
        QTest::newRow("downward right") << 3 << "rtsp://127.0.0.9:554/ov7251_03";
        QTest::newRow("unknown") << 4 << QString();
        QTest::newRow("out of range") << 9 << QString();
    }

    void streamUrlsCrossThePathNumbers() {
        QFETCH(int, position);
        QFETCH(QString, url);
        QCOMPARE(VideoShow::streamUrl(static_cast<VideoShow::VideoPosition>(position), "127.0.0.9"),
                 url);
    }
};

NIMBRA_CORE_TEST_MAIN(TestBCInstanceManager)
#include "tst_BCInstanceManager.moc"
