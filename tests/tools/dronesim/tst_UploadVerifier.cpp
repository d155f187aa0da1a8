// The verifier against uploads made with the desktop's own encoders from the
// true rig: a correct upload passes, and each kind of damage a real upload can
// suffer fails with a reason.
#include "device/wire/FileChunkSender.h"
#include "device/wire/ResultData.h"
#include "tests/support/TestMain.h"
#include "tools/dronesim/UploadStreamParser.h"
#include "tools/dronesim/UploadVerifier.h"
#include "Calibration/hi_dpu_tool.h"

#include <QBuffer>
#include <QJsonArray>

#include <opencv2/calib3d.hpp>

namespace {

const SimCamera kOrder[4] = {SimCamera::ForwardLeft, SimCamera::ForwardRight,
                             SimCamera::DownwardLeft, SimCamera::DownwardRight};

// The depth-unit map file the desktop would make for `camera` of a perfectly
// calibrated rig.
QByteArray truthMapFile(const Rig& rig, SimCamera camera) {
    const CameraPair& pair = rig.pair(pairOf(camera));
    const cv::Size size(pair.left.width, pair.left.height);
    cv::Matx33d R;
    cv::Rodrigues(pair.rvec, R);
    cv::Mat R1, R2, P1, P2, Q, mapX, mapY;
    cv::stereoRectify(pair.left.cameraMatrix(), pair.left.distortion, pair.right.cameraMatrix(),
                      pair.right.distortion, size, R, pair.translation, R1, R2, P1, P2, Q,
                      cv::CALIB_ZERO_DISPARITY, 0, size);
    const CameraModel& cam = rig.camera(camera);
    cv::initUndistortRectifyMap(cam.cameraMatrix(), cam.distortion, isLeft(camera) ? R1 : R2,
                                isLeft(camera) ? P1 : P2, size, CV_32FC1, mapX, mapY);
    cv::Mat merged;
    cv::merge(std::vector<cv::Mat>{mapX, mapY}, merged);
    QByteArray out(UploadVerifier::mapFileSize(cam), '\0');
    hi_dpu_tool_mem_info src{merged.data, static_cast<std::uint32_t>(merged.total() * 8)};
    hi_dpu_tool_mem_info dst{reinterpret_cast<std::uint8_t*>(out.data()),
                             static_cast<std::uint32_t>(out.size())};
    hi_dpu_tool(&src, &dst, static_cast<std::uint32_t>(size.width),
                static_cast<std::uint32_t>(size.height));
    return out;
}

QByteArray resultPacket(const Rig& rig, SimCamera camera, double fxScale) {
    const CameraModel& cam = rig.camera(camera);
    ResultData r;
    r.head = ResultData::kHead;
    r.tail = ResultData::kTail;
    r.setCamera(static_cast<int>(camera));
    r.fx = cam.fx * fxScale;
    r.fy = cam.fy;
    r.cx = cam.cx;
    r.cy = cam.cy;
    r.tx = rig.pair(pairOf(camera)).translation[0];
    return r.toBytes();
}

QByteArray chunks(QByteArray file) {
    QByteArray out;
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    FileChunkSender::send(buffer, file.size(), [&](const QByteArray& p) {
        out += p;
        return true;
    });
    return out;
}

}  // namespace

class tst_UploadVerifier : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        m_rig = Rig::defaults();
        for (SimCamera c : kOrder)
            m_files << truthMapFile(m_rig, c);
    }

    void judgesTheUpload_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("pass");
        QTest::addColumn<QString>("reason");
        QTest::newRow("correct") << "" << true << "";
        QTest::newRow("one flipped map byte") << "flip" << false << "map CRC mismatch";
        QTest::newRow("fx 2 % off") << "fx" << false << "fx ";
        QTest::newRow("missing file") << "missing" << false << "3 result packets";
        QTest::newRow("wrong order") << "order" << false << "type code";
        QTest::newRow("wrong") << "wrong" << false << "did not send";
    }

    void judgesTheUpload() {
        QFETCH(QString, damage);
        QFETCH(bool, pass);
        QFETCH(QString, reason);
        QByteArray stream = damage == "wrong" ? "wrong" : "right";
        QList<int> cameras = {0, 1, 2, 3};
        if (damage == "missing")
            cameras.removeAt(2);
        if (damage == "order")
            std::swap(cameras[0], cameras[1]);
        for (int c : cameras) {
            if (damage == "wrong")
                break;
            QByteArray file = m_files.at(c);
            if (damage == "flip" && c == 3)
                file[20 + 4 * 1000] = static_cast<char>(file[20 + 4 * 1000] ^ 0x10);
            stream += resultPacket(m_rig, kOrder[c], damage == "fx" && c == 1 ? 1.02 : 1.0);
            stream += chunks(file);
        }
        stream += "quit";

        UploadStreamParser parser(UploadVerifier::mapFileSize(m_rig.forward.left));
        // In pieces, as a socket delivers it.
        for (int at = 0; at < stream.size(); at += 3000)
            parser.feed(stream.mid(at, 3000));
        QVERIFY(parser.sawQuit());
        const QJsonObject report = UploadVerifier(m_rig).verify(parser);
        const QString failures = report["failures"].toVariant().toStringList().join("; ");
        QCOMPARE(report["pass"].toBool(), pass);
        QVERIFY2(failures.contains(reason), qPrintable(failures));
        if (pass) {
            for (const QJsonValue& v : report["cameras"].toArray()) {
                // Only the 1/32 px fixed point separates the map from the truth.
                QVERIFY(v.toObject()["mapMedianPx"].toDouble() < 0.03);
                QVERIFY(v.toObject()["mapP95Px"].toDouble() < 0.03);
            }
            QVERIFY(UploadVerifier::summary(report).endsWith("PASS"));
        } else {
            QVERIFY(UploadVerifier::summary(report).contains("FAIL: "));
        }
    }

    // Bytes that are not an upload stop the parsing instead of being guessed at.
    void garbageAfterRightIsMalformed() {
        UploadStreamParser parser(UploadVerifier::mapFileSize(m_rig.forward.left));
        QVERIFY(!parser.feed(QByteArray("right") + QByteArray(100, 'x')));
        QVERIFY(parser.malformed());
        QCOMPARE(UploadVerifier(m_rig).verify(parser)["pass"].toBool(), false);
    }

private:
    Rig m_rig;
    QList<QByteArray> m_files;
};

NIMBRA_CORE_TEST_MAIN(tst_UploadVerifier)
#include "tst_UploadVerifier.moc"
