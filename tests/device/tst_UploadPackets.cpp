// What the desktop uploads after a successful run: the 74-byte result of each
// camera, filled from the store, and the map files cut into chunk packets.

#include "tests/support/TestMain.h"

#include "Calibration/ImageData.h"
#include "device/wire/FileChunkSender.h"
#include "device/wire/FileData.h"
#include "device/wire/ResultData.h"

#include <QBuffer>
#include <QtTest>

namespace {

QByteArray fileContent(int size) {
    QByteArray out(size, '\0');
    for (int i = 0; i < size; ++i) {
        out[i] = static_cast<char>((i * 7 + 3) % 251);
    }
    return out;
}

struct Upload {
    FileChunkSender::Outcome outcome;
    QList<QByteArray> packets;
};

Upload upload(const QByteArray& content, qint64 fileSize, int refuseFrom = 0) {
    QBuffer file;
    file.setData(content);
    file.open(QIODevice::ReadOnly);
    Upload u;
    u.outcome = FileChunkSender::send(file, fileSize, [&](const QByteArray& packet) {
        if (refuseFrom > 0 && u.packets.size() + 1 >= refuseFrom) {
            return false;
        }
        u.packets.append(packet);
        return true;
    });
    return u;
}

// head, chunk number, tail around the file bytes, as the drone expects them
QByteArray chunkPacket(const QByteArray& numberHex, const QByteArray& data) {
    return QByteArray::fromHex("0102" + numberHex) + data + QByteArray::fromHex("0304");
}

}  // namespace

class TestUploadPackets : public QObject {
    Q_OBJECT

private slots:
    void packResultMatchesGoldenBytes() {
        ImageData store;
        store.m_matRightCamera_front = (cv::Mat_<double>(3, 3) << 1, 0, -0.5, 0, 2, 0.25, 0, 0, 1);
        store.m_matT_front = (cv::Mat_<double>(3, 1) << -2, 7, 9);
        store.m_matRightProj_front =
            (cv::Mat_<double>(3, 4) << 0.5, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13);
        ResultData r;
        r.padding = 0xdeadbeef;  // whatever the caller's record held is not sent
        store.packResult(&r, ResultData::kForwardRight);
        const QByteArray golden = QByteArray::fromHex(
            "0102"              // head
            "0102"              // forward pair, right camera
            "00000000"          // padding
            "000000000000f03f"  // fx 1
            "0000000000000040"  // fy 2
            "000000000000e0bf"  // cx -0.5
            "000000000000d03f"  // cy 0.25
            "00000000000000c0"  // tx -2
            "000000000000e03f"  // p00 0.5
            "0000000000001040"  // p02 4
            "0000000000002040"  // p12 8
            "0304");
        QCOMPARE(r.toBytes().toHex(), golden.toHex());
        QCOMPARE(golden.size(), ResultData::kWireSize);

        ResultData back;
        QVERIFY(ResultData::fromBytes(golden, &back));
        QCOMPARE(back.toBytes(), golden);
        QVERIFY(!ResultData::fromBytes(golden.left(73), &back));
    }

    // Matrices a failed or unfinished run left empty or too small are sent as
    // zeros, never read past their end.
    void packResultSendsZeroForMatricesNeverComputed() {
        ImageData store;  // the translations stay empty until a stereo calibration
        store.m_matLeftProj_down = cv::Mat();
        store.m_matLeftCamera_down = cv::Mat_<float>(2, 2, 5.f);  // too small for cx, cy
        ResultData r;
        store.packResult(&r, ResultData::kDownwardLeft);
        QCOMPARE(std::vector<double>({r.fx, r.fy, r.cx, r.cy, r.tx, r.p00}),
                 std::vector<double>({5, 5, 0, 0, 0, 0}));
    }

    // A file of `length` bytes sent as `size` bytes: chunks of 4096 numbered
    // from 1, the last one short; a file that ends early ends the upload.
    void fileChunking_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("size");
        QTest::addColumn<QList<int>>("dataSizes");
        QTest::addColumn<bool>("complete");
        QTest::newRow("empty") << 0 << 0 << QList<int>{} << true;
        QTest::newRow("4096") << 4096 << 4096 << QList<int>{4096} << true;
        QTest::newRow("4097") << 4097 << 4097 << QList<int>{4096, 1} << true;
        QTest::newRow("3x4096+5") << 3 * 4096 + 5 << 3 * 4096 + 5 << QList<int>{4096, 4096, 4096, 5}
                                  << true;
        QTest::newRow("file longer than its size") << 6000 << 4097 << QList<int>{4096, 1} << true;
        QTest::newRow("file ending before its size")
            << 5000 << 9000 << QList<int>{4096, 904} << false;
    }
    void fileChunking() {
        QFETCH(int, length);
        QFETCH(int, size);
        QFETCH(QList<int>, dataSizes);
        QFETCH(bool, complete);
        const QByteArray content = fileContent(length);
        const Upload u = upload(content, size);
        QCOMPARE(u.outcome.status, complete ? FileChunkSender::Status::Complete
                                            : FileChunkSender::Status::EndedEarly);
        QCOMPARE(u.outcome.bytesSent, qint64(std::min(length, size)));
        QCOMPARE(u.outcome.chunksSent, dataSizes.size());
        QCOMPARE(u.packets.size(), dataSizes.size());
        const QByteArray numbers[] = {"01000000", "02000000", "03000000", "04000000"};
        int offset = 0;
        for (int i = 0; i < dataSizes.size(); ++i) {
            const QByteArray expected = chunkPacket(numbers[i], content.mid(offset, dataSizes[i]));
            QVERIFY2(u.packets[i] == expected, qPrintable(QString("chunk %1").arg(i + 1)));
            offset += dataSizes[i];
        }
    }

    void unreadableFileAndRefusedWriteAreReported() {
        QBuffer closed;
        const auto unread =
            FileChunkSender::send(closed, 10, [](const QByteArray&) { return true; });
        QCOMPARE(unread.status, FileChunkSender::Status::ReadFailed);
        QCOMPARE(unread.chunksSent, 0);

        const Upload u = upload(fileContent(3 * 4096), 3 * 4096, 2);
        QCOMPARE(u.outcome.status, FileChunkSender::Status::WriteFailed);
        QCOMPARE(u.outcome.chunksSent, 1);
        QCOMPARE(u.outcome.bytesSent, qint64(4096));
    }
};

NIMBRA_CORE_TEST_MAIN(TestUploadPackets)
#include "tst_UploadPackets.moc"
