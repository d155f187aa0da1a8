// The simulator's injected faults of a run, seen by a bare client playing the
// desktop: each one happens and is logged so that a test can tell it was
// injected.
#include "DataStreamAssembler.h"
#include "DroneSimProcess.h"
#include "FeaturePacket.h"
#include "TestMain.h"

#include <QElapsedTimer>
#include <QTcpSocket>

namespace {

const QString kAddress = QStringLiteral("127.0.0.72");

bool switchToCalibrationMode(const QString& address) {
    QTcpSocket http;
    http.connectToHost(address, 80);
    if (!http.waitForConnected(3000))
        return false;
    http.write("GET /nimbra-ap03/switch=demarcate_mode HTTP/1.1\r\nHost: drone\r\n\r\n");
    QByteArray reply;
    QElapsedTimer clock;
    clock.start();
    while (!reply.contains("Success") && clock.elapsed() < 3000) {
        http.waitForReadyRead(50);
        reply += http.readAll();
    }
    return reply.contains("Success");
}

}  // namespace

class tst_DroneSimFaults : public QObject {
    Q_OBJECT

private slots:
    // Garbage between packets, views without marks, a data channel that closes
    // at image 30 and a heartbeat that falls silent with the downward pair.
    void runFaultsHappenAndAreLogged() {
        DroneSimProcess sim{QStringLiteral(DRONESIM_PATH)};
        QVERIFY2(
            sim.start(kAddress, {"--image-interval-ms", "20", "--capture-lead-ms", "0",
                                 "--fault-garbage", "--fault-no-marks", "--fault-data-close-at",
                                 "30", "--fault-heartbeat-silent-at", "downward"}),
            qPrintable(sim.output() + sim.errorOutput()));
        QVERIFY(sim.output().contains("armed fault: data channel closes at image 30"));

        QTcpSocket heartbeat, data, capture;
        heartbeat.connectToHost(kAddress, 10001);
        data.connectToHost(kAddress, 9999);
        capture.connectToHost(kAddress, 10000);
        QVERIFY(heartbeat.waitForConnected(3000) && data.waitForConnected(3000) &&
                capture.waitForConnected(3000));
        data.write("start");
        data.flush();
        QVERIFY(sim.waitForOutput("[data] start", 3000));
        QVERIFY(switchToCalibrationMode(kAddress));
        capture.write("startfront");
        capture.flush();

        DataStreamAssembler assembler;
        int packets = 0, withMarks = 0;
        auto readData = [&] {
            assembler.dowork(data.readAll(), [&](QByteArray& p) {
                const auto f = FeaturePacket::parse(p);
                if (!f)
                    return;
                ++packets;
                withMarks += f->size[0] != 0 || f->size[1] != 0 || f->size[2] != 0;
            });
        };
        connect(&data, &QTcpSocket::readyRead, this, readData);
        QVERIFY(sim.waitForOutput("[capture] forward pair finished", 20000));
        QTRY_VERIFY(packets >= 40);  // junk and pieces cost the desktop's rules a few
        QCOMPARE(withMarks, 0);
        QVERIFY(sim.output().contains("[data] FAULT image 0 features written in pieces"));
        QVERIFY(sim.output().contains(QRegularExpression(
            R"(\[data\] FAULT (\d+ junk bytes|bad length field) before image \d+)")));

        capture.write("startdown");
        capture.flush();
        QVERIFY(sim.waitForOutput("[heartbeat] FAULT heartbeat silent from now on", 5000));
        QVERIFY(sim.waitForOutput("[data] FAULT channel closed at image 30", 10000));
        QTRY_COMPARE(data.state(), QAbstractSocket::UnconnectedState);
        // Silent: no beat for two intervals.
        heartbeat.readAll();
        QTest::qWait(1200);
        QCOMPARE(heartbeat.readAll(), QByteArray());
    }
};

NIMBRA_CORE_TEST_MAIN(tst_DroneSimFaults)
#include "tst_DroneSimFaults.moc"
