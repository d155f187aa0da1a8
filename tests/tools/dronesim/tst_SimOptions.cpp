// Command-line checks of the drone simulator: the loopback-only rule, the board
// scale options and the fault specifications.
#include "RigJson.h"
#include "SimOptions.h"
#include "TestMain.h"

#include <QTemporaryDir>

class tst_SimOptions : public QObject {
    Q_OBJECT

private:
    static SimOptions::Outcome parse(const QStringList& args, SimOptions* options,
                                     QString* message) {
        return SimOptions::parse(QStringList{"dronesim"} + args, options, message);
    }

private slots:
    void init() { qunsetenv("NIMBRA_DEVICE_ADDRESS"); }
    void runOptions_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("defaults") << QStringList{} << true;
        QTest::newRow("fast timeline") << QStringList{"--image-interval-ms", "20"} << true;
        QTest::newRow("interval too short") << QStringList{"--image-interval-ms", "1"} << false;
        QTest::newRow("close at 51") << QStringList{"--fault-data-close-at", "51"} << true;
        QTest::newRow("close at 52") << QStringList{"--fault-data-close-at", "52"} << false;
        QTest::newRow("silent downward")
            << QStringList{"--fault-heartbeat-silent-at", "downward"} << true;
        QTest::newRow("silent at no phase")
            << QStringList{"--fault-heartbeat-silent-at", "soon"} << false;
        QTest::newRow("scale 1.1") << QStringList{"--fault-board-scale", "1.1"} << true;
        QTest::newRow("scale 0") << QStringList{"--fault-board-scale", "0"} << false;
        QTest::newRow("miss half") << QStringList{"--missing-fraction", "0.5"} << false;
    }

    void runOptions() {
        QFETCH(QStringList, args);
        QFETCH(bool, accepted);
        SimOptions options;
        QString message;
        const auto outcome = parse(args, &options, &message);
        QCOMPARE(outcome == SimOptions::Outcome::Run, accepted);
        if (!accepted) {
            QVERIFY(message.startsWith("--"));
            return;
        }
        if (args.isEmpty()) {
            QCOMPARE(options.imageIntervalMs, 400);
            QCOMPARE(options.dataCloseAtImage, -1);
            QVERIFY(!options.heartbeatSilentAtPhase);
            QCOMPARE(options.boardScaleFault, 1.0);
        } else if (args.first() == "--fault-heartbeat-silent-at") {
            QCOMPARE(*options.heartbeatSilentAtPhase, RunPhase::CaptureDownward);
        }
    }

    void address_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("expected");  // empty: refused
        QTest::newRow("default") << QStringList{} << QString() << "127.0.0.1";
        QTest::newRow("environment") << QStringList{} << "127.0.0.42"
                                     << "127.0.0.42";
        QTest::newRow("option beats environment")
            << QStringList{"--addr", "127.1.2.3"} << "127.0.0.42"
            << "127.1.2.3";
        QTest::newRow("top of loopback")
            << QStringList{"--addr", "127.255.255.254"} << QString() << "127.255.255.254";
        QTest::newRow("private network")
            << QStringList{"--addr", "192.168.1.1"} << QString() << QString();
        QTest::newRow("environment outside loopback") << QStringList{} << "10.0.0.1" << QString();
        QTest::newRow("just above loopback")
            << QStringList{"--addr", "128.0.0.1"} << QString() << QString();
        QTest::newRow("any address") << QStringList{"--addr", "0.0.0.0"} << QString() << QString();
        QTest::newRow("IPv6 loopback") << QStringList{"--addr", "::1"} << QString() << QString();
        QTest::newRow("host name") << QStringList{"--addr", "localhost"} << QString() << QString();
    }

    void address() {
        QFETCH(QStringList, args);
        QFETCH(QString, environment);
        QFETCH(QString, expected);
        if (!environment.isEmpty()) {
            qputenv("NIMBRA_DEVICE_ADDRESS", environment.toLatin1());
        }
        SimOptions options;
        QString message;
        const SimOptions::Outcome outcome = parse(args, &options, &message);
        if (expected.isEmpty()) {
            QCOMPARE(outcome, SimOptions::Outcome::Error);
            QVERIFY2(message.contains("loopback"), qPrintable(message));
        } else {
            QCOMPARE(outcome, SimOptions::Outcome::Run);
            QCOMPARE(options.address.toString(), expected);
        }
    }

    void boardScale_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<double>("unitCm");  // < 0: refused
        QTest::addColumn<int>("radius");
        // 2 × 26 × 0.1793 / 10
        QTest::newRow("built-in") << QStringList{} << 0.93236 << 26;
        QTest::newRow("unit given") << QStringList{"--board-unit-cm", "0.75"} << 0.75 << 26;
        QTest::newRow("unit with drawing radius")
            << QStringList{"--board-unit-cm", "0.75", "--board-radius-px", "19"} << 0.75 << 19;
        // 2 × 19 × 0.2 / 10
        QTest::newRow("radius and pixel size")
            << QStringList{"--board-radius-px", "19", "--screen-mm-per-px", "0.2"} << 0.76 << 19;
        QTest::newRow("radius alone") << QStringList{"--board-radius-px", "19"} << -1.0 << 0;
        QTest::newRow("pixel size alone") << QStringList{"--screen-mm-per-px", "0.2"} << -1.0 << 0;
        QTest::newRow("unit and pixel size")
            << QStringList{"--board-unit-cm", "0.75", "--screen-mm-per-px", "0.2"} << -1.0 << 0;
        QTest::newRow("negative unit") << QStringList{"--board-unit-cm", "-1"} << -1.0 << 0;
        QTest::newRow("fractional radius")
            << QStringList{"--board-radius-px", "19.5", "--screen-mm-per-px", "0.2"} << -1.0 << 0;
        QTest::newRow("tiny radius")
            << QStringList{"--board-radius-px", "2", "--screen-mm-per-px", "0.2"} << -1.0 << 0;
    }

    void boardScale() {
        QFETCH(QStringList, args);
        QFETCH(double, unitCm);
        QFETCH(int, radius);
        SimOptions options;
        QString message;
        const SimOptions::Outcome outcome = parse(args, &options, &message);
        if (unitCm < 0) {
            QCOMPARE(outcome, SimOptions::Outcome::Error);
            QVERIFY(!message.isEmpty());
            return;
        }
        QCOMPARE(outcome, SimOptions::Outcome::Run);
        QVERIFY2(std::abs(options.boardUnitCm - unitCm) < 1e-4,
                 qPrintable(QString::number(options.boardUnitCm)));
        QCOMPARE(options.boardRadiusPx, radius);
    }

    void faults() {
        SimOptions options;
        QString message;
        QCOMPARE(parse({"--fault-stream-fail", "/ov7251_02:3", "--fault-stream-fail",
                        "ov7251_04:always", "--fault-http-status", "503", "--fault-http-body", "",
                        "--fault-heartbeat-silent-after", "2.5"},
                       &options, &message),
                 SimOptions::Outcome::Run);
        QCOMPARE(options.streamFaults.size(), size_t(2));
        QCOMPARE(options.streamFaults.at("/ov7251_02").failFirstOpens, 3);
        QVERIFY(!options.streamFaults.at("/ov7251_02").always);
        QVERIFY(options.streamFaults.at("/ov7251_04").always);
        QCOMPARE(options.httpFault.status, 503);
        QVERIFY(options.httpFault.replaceBody);
        QVERIFY(options.httpFault.body.isEmpty());
        QCOMPARE(options.heartbeatSilentAfterSeconds, 2.5);

        for (const QStringList& bad :
             {QStringList{"--fault-stream-fail", "/ov7251_05:1"},
              QStringList{"--fault-stream-fail", "/ov7251_01"},
              QStringList{"--fault-stream-fail", "/ov7251_01:0"},
              QStringList{"--fault-stream-fail", "/ov7251_01:sometimes"},
              QStringList{"--fault-http-status", "99"}, QStringList{"--fault-http-status", "abc"},
              QStringList{"--fault-heartbeat-silent-after", "-1"}, QStringList{"--fps", "0"},
              QStringList{"--no-such-option"}, QStringList{"stray"}}) {
            SimOptions rejected;
            QCOMPARE(parse(bad, &rejected, &message), SimOptions::Outcome::Error);
        }
    }

    void rigFile() {
        QTemporaryDir dir;
        const QString good = dir.filePath("good.json");
        QFile file(good);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"({"downward": {"translation": [-4.2, 0, 0]}})");
        file.close();

        SimOptions options;
        QString message;
        QCOMPARE(parse({"--rig", good}, &options, &message), SimOptions::Outcome::Run);
        QCOMPARE(options.rig.downward.translation[0], -4.2);
        QCOMPARE(options.rig.forward.translation[0], Rig::defaults().forward.translation[0]);
        QCOMPARE(options.rigSource, good);

        QCOMPARE(parse({"--rig", dir.filePath("missing.json")}, &options, &message),
                 SimOptions::Outcome::Error);
        QVERIFY(message.contains("missing.json"));

        QCOMPARE(
            parse({"--rig", good, "--write-rig", dir.filePath("out.json")}, &options, &message),
            SimOptions::Outcome::WriteRig);
        QCOMPARE(options.writeRigPath, dir.filePath("out.json"));

        QCOMPARE(parse({"--help"}, &options, &message), SimOptions::Outcome::Help);
        const QString documented = QStringLiteral(
            "--image-interval-ms --capture-lead-ms --report --missing-fraction "
            "--fault-heartbeat-silent-at --fault-data-close-at --fault-garbage --fault-no-marks "
            "--fault-board-scale --addr --rig --write-rig --board-unit-cm --board-radius-px "
            "--screen-mm-per-px --version-string --fault-heartbeat-silent-after "
            "--fault-http-status --fault-http-body --fault-stream-fail");
        for (const QString& name : documented.split(' ')) {
            QVERIFY2(message.contains(name), qPrintable(name));
        }
    }
};

NIMBRA_CORE_TEST_MAIN(tst_SimOptions)
#include "tst_SimOptions.moc"
