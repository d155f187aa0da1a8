// The desktop's own device sessions against the simulator: what a person sees
// when running NimbraDesktop with dronesim on one machine.
#include "DeviceMonitor.h"
#include "DroneSimProcess.h"
#include "ModelChange.h"
#include "Telnet.h"
#include "TestMain.h"
#include "VideoShow.h"

namespace {
const QString kDrone = QStringLiteral("127.0.0.66");
const QString kFaultyDrone = QStringLiteral("127.0.0.67");

void useDrone(const QString& address) {
    qputenv("NIMBRA_DEVICE_ADDRESS", address.toLatin1());
}
}  // namespace

class tst_DroneSimDesktopLink : public QObject {
    Q_OBJECT

private:
    DroneSimProcess m_sim{QStringLiteral(DRONESIM_PATH)};

private slots:
    void initTestCase() {
        QVERIFY2(m_sim.start(kDrone, {"--version-string", "v4.5.6", "--reboot-seconds", "1"}),
                 qPrintable(m_sim.output() + m_sim.errorOutput()));
    }

    void heartbeatSeesTheDronePresent() {
        useDrone(kDrone);
        DeviceMonitor monitor;
        QSignalSpy state(&monitor, &DeviceMonitor::stateChanged);
        monitor.start();
        QTRY_COMPARE_WITH_TIMEOUT(state.count(), 1, 4000);
        QCOMPARE(state.at(0).at(0).toBool(), true);
        QTest::qWait(2500);  // several ticks: the drone must stay present
        QCOMPARE(state.count(), 1);
    }

    void modeSwitchOpensTheForwardLeftCamera() {
        useDrone(kDrone);
        VideoShow video;
        ModelChange change(&video);
        QSignalSpy succeeded(&change, &ModelChange::requestSucceed);
        QSignalSpy failed(&change, &ModelChange::requestFailed);
        QSignalSpy frames(&video, &VideoShow::imageframe);
        change.request();
        QTRY_COMPARE_WITH_TIMEOUT(succeeded.count(), 1, 10000);
        QCOMPARE(failed.count(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!frames.isEmpty(), 5000);
        QCOMPARE(frames.at(0).at(0).value<QImage>().size(), QSize(480, 640));
        video.quitVideo();
        QVERIFY(m_sim.waitForOutput("[drone] calibration mode on", 1000));
        QVERIFY(m_sim.output().contains("open 1 of /ov7251_02 (forward left camera)"));
    }

    void consoleReportsTheVersionAndReboots() {
        useDrone(kDrone);
        Telnet console;
        QSignalSpy version(&console, &Telnet::version);
        console.connectToHost();
        QTRY_VERIFY_WITH_TIMEOUT(!version.isEmpty(), 5000);
        QCOMPARE(version.at(0).at(0).toString(), QStringLiteral("v4.5.6"));
        QVERIFY(m_sim.output().contains("[console] root logged in"));

        console.reboot();
        QVERIFY(m_sim.waitForOutput("[console] reboot requested", 3000));
        QVERIFY(m_sim.waitForOutput("[drone] gone", 2000));
        QVERIFY(m_sim.waitForOutput("[drone] present", 3000));
    }

    // The faults the desktop has to live with: a forward left camera that fails
    // its first open (the mode switch retries it five seconds later) and a
    // heartbeat that falls silent (the monitor reports the drone gone).
    void desktopSeesInjectedFaults() {
        DroneSimProcess faulty{QStringLiteral(DRONESIM_PATH)};
        QVERIFY2(faulty.start(kFaultyDrone, {"--fault-stream-fail", "/ov7251_02:1",
                                             "--fault-heartbeat-silent-after", "4"}),
                 qPrintable(faulty.output() + faulty.errorOutput()));
        useDrone(kFaultyDrone);

        DeviceMonitor monitor;
        QSignalSpy state(&monitor, &DeviceMonitor::stateChanged);
        monitor.start();

        VideoShow video;
        ModelChange change(&video);
        QSignalSpy succeeded(&change, &ModelChange::requestSucceed);
        QSignalSpy failed(&change, &ModelChange::requestFailed);
        change.request();
        QTRY_COMPARE_WITH_TIMEOUT(succeeded.count(), 1, 12000);
        QCOMPARE(failed.count(), 0);
        video.quitVideo();
        QVERIFY(faulty.output().contains("[rtsp] FAULT stream /ov7251_02 open 1 refused"));
        QVERIFY(faulty.output().contains("open 2 of /ov7251_02 (forward left camera)"));

        QTRY_COMPARE_WITH_TIMEOUT(state.count(), 2, 6000);
        QCOMPARE(state.at(0).at(0).toBool(), true);
        QCOMPARE(state.at(1).at(0).toBool(), false);
        QVERIFY(faulty.output().contains("[heartbeat] FAULT heartbeat silent"));
    }
};

NIMBRA_CORE_TEST_MAIN(tst_DroneSimDesktopLink)
#include "tst_DroneSimDesktopLink.moc"
