// The rig file is how a person or a test changes the simulator's ground truth;
// what is written must read back unchanged, and a broken file must be refused
// with the key that is wrong.
#include "RigJson.h"
#include "TestMain.h"

class tst_RigJson : public QObject {
    Q_OBJECT

private:
    static bool samePair(const CameraPair& a, const CameraPair& b) {
        auto sameCamera = [](const CameraModel& x, const CameraModel& y) {
            return x.width == y.width && x.height == y.height && x.fx == y.fx && x.fy == y.fy &&
                   x.cx == y.cx && x.cy == y.cy && x.distortion == y.distortion;
        };
        if (!sameCamera(a.left, b.left) || !sameCamera(a.right, b.right) || a.rvec != b.rvec ||
            a.translation != b.translation || a.poses.size() != b.poses.size()) {
            return false;
        }
        for (size_t i = 0; i < a.poses.size(); ++i) {
            if (a.poses[i].rvec != b.poses[i].rvec || a.poses[i].tvec != b.poses[i].tvec) {
                return false;
            }
        }
        return true;
    }

private slots:
    void defaultsAreRealistic() {
        const Rig rig = Rig::defaults();
        QCOMPARE(QString::fromStdString(rig.validate()), QString());
        QVERIFY(rig.forward.translation[0] < 0);  // right camera to the right of the left one
    }

    void writtenRigReadsBackUnchanged() {
        const Rig original = Rig::defaults();
        Rig read;
        read.forward.poses.clear();
        QString error;
        QVERIFY2(RigJson::read(RigJson::write(original), &read, &error), qPrintable(error));
        QVERIFY(samePair(read.forward, original.forward));
        QVERIFY(samePair(read.downward, original.downward));
    }

    void fileOverridesOnlyWhatItNames() {
        Rig rig;
        QString error;
        QVERIFY2(RigJson::read(R"({"forward": {"right": {"fx": 440.5},
                                               "translation": [-6.1, 0.0, 0.1]}})",
                               &rig, &error),
                 qPrintable(error));
        const Rig defaults = Rig::defaults();
        QCOMPARE(rig.forward.right.fx, 440.5);
        QCOMPARE(rig.forward.right.fy, defaults.forward.right.fy);
        QCOMPARE(rig.forward.translation, cv::Vec3d(-6.1, 0.0, 0.1));
        QVERIFY(samePair(rig.downward, defaults.downward));
        QCOMPARE(rig.forward.left.fx, defaults.forward.left.fx);
        QCOMPARE(rig.forward.rvec, defaults.forward.rvec);
    }

    void brokenFilesAreRefusedWithTheKey_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("expected");
        QTest::newRow("not JSON") << QByteArray("{forward") << "not valid JSON";
        QTest::newRow("array root") << QByteArray("[]") << "JSON object";
        QTest::newRow("unknown pair") << QByteArray(R"({"sideways": {}})") << "sideways";
        QTest::newRow("string focal")
            << QByteArray(R"({"forward": {"left": {"fx": "430"}}})") << "forward.left.fx";
        QTest::newRow("fractional width")
            << QByteArray(R"({"downward": {"right": {"width": 640.5}}})") << "downward.right.width";
        QTest::newRow("short distortion")
            << QByteArray(R"({"forward": {"left": {"distortion": [0.1, 0.2]}}})")
            << "forward.left.distortion";
        QTest::newRow("three poses")
            << QByteArray(R"({"forward": {"poses": [{"rvec":[0,0,0],"tvec":[0,0,30]},
                                                   {"rvec":[0,0,0],"tvec":[0,0,30]},
                                                   {"rvec":[0,0,0],"tvec":[0,0,30]}]}})")
            << "forward.poses";
        QTest::newRow("negative focal")
            << QByteArray(R"({"forward": {"right": {"fy": -1}}})") << "focal";
        QTest::newRow("pair sizes differ")
            << QByteArray(R"({"downward": {"left": {"width": 320}}})") << "same image size";
    }

    void brokenFilesAreRefusedWithTheKey() {
        QFETCH(QByteArray, json);
        QFETCH(QString, expected);
        Rig rig = Rig::defaults();
        rig.forward.left.fx = 1234.0;  // must stay untouched on failure
        QString error;
        QVERIFY(!RigJson::read(json, &rig, &error));
        QVERIFY2(error.contains(expected), qPrintable(error));
        QCOMPARE(rig.forward.left.fx, 1234.0);
    }

    void poseBehindTheCameraIsRefused() {
        QByteArray poses = "[";
        for (int i = 0; i < Rig::kImagesPerCamera; ++i) {
            poses += QByteArray(i ? "," : "") + R"({"rvec":[0,0,0],"tvec":[0,0,)" +
                     (i == 5 ? "-30" : "30") + "]}";
        }
        poses += "]";
        Rig rig;
        QString error;
        QVERIFY(!RigJson::read(R"({"downward": {"poses": )" + poses + "}}", &rig, &error));
        QVERIFY2(error.contains("in front of the camera"), qPrintable(error));
    }
};

NIMBRA_CORE_TEST_MAIN(tst_RigJson)
#include "tst_RigJson.moc"
