#include "device/BCInstanceManager.h"
#include "device/DeviceAddress.h"
#include "device/ImageCapture.h"
#include "device/ModelChange.h"
#include "tests/support/TestMain.h"
#include "video/VideoShow.h"

class TestBCInstanceManager : public QObject {
    Q_OBJECT

private slots:
    void captureAndModeSwitchListenToTheRegistrysReader() {
        BCInstanceManager* mgr = BCInstanceManager::getInstance();
        VideoShow* video = mgr->getVideoShow();
        QCOMPARE(mgr->getImageCapture()->videoShow(), video);
        QCOMPARE(mgr->getModelChange()->videoShow(), video);
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
