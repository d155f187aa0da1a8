#include "Calibration/HiDPUInterface.h"
#include "Calibration/hi_dpu_tool.h"

#include "tests/support/OutputCapture.h"
#include "tests/support/TestMain.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

std::uint32_t readLe32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// A raw map whose pixel (x, y) points at (x + dx, y + dy).
std::vector<float> shiftedMap(int width, int height, float dx, float dy) {
    std::vector<float> map(static_cast<size_t>(width) * height * 2);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const size_t i = (static_cast<size_t>(y) * width + x) * 2;
            map[i] = static_cast<float>(x) + dx;
            map[i + 1] = static_cast<float>(y) + dy;
        }
    }
    return map;
}

bool writeFile(const QString& path, const void* data, qint64 size) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(static_cast<const char*>(data), size) == size;
}

}  // namespace

class TestDpuTool : public QObject {
    Q_OBJECT

private slots:
    void crcMatchesTheStandardAndChains() {
        const char* check = "123456789";
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(check);
        QCOMPARE(dpu_tool_calc_crc32(0, bytes, 9), 0xCBF43926u);

        for (std::uint32_t split = 0; split <= 9; ++split) {
            const std::uint32_t first = dpu_tool_calc_crc32(0, bytes, split);
            QCOMPARE(dpu_tool_calc_crc32(first, bytes + split, 9 - split), 0xCBF43926u);
        }
        QCOMPARE(dpu_tool_calc_crc32(0x12345678u, bytes, 0), 0x12345678u);
        QCOMPARE(dpu_tool_calc_crc32(0, bytes, 0), 0u);
    }

    void entryEncoding_data() {
        QTest::addColumn<float>("sx");
        QTest::addColumn<float>("sy");
        QTest::addColumn<quint32>("entry");

        // entry = ((iy * 2048 + (ix & 0x7FF)) * 1024 + fy * 32 + fx) mod 2^32
        // 12.99: 0.99 * 32 = 31.68, +0.5 rounds to 32, clamped to 31 (no carry).
        // 12.5: 16.
        QTest::newRow("12.99, 12.5")
            << 12.99f << 12.5f << quint32((12u * 2048u + 12u) * 1024u + 16u * 32u + 31u);
        QTest::newRow("whole pixels") << 3.0f << 7.0f << quint32((7u * 2048u + 3u) * 1024u);
        // 0.5/32 rounds half up to 1; 31.5/32 rounds to 32 and is clamped.
        QTest::newRow("half steps")
            << 5.015625f << 9.984375f << quint32((9u * 2048u + 5u) * 1024u + 31u * 32u + 1u);
        // -0.5: ix = -1, low 11 bits 2047; (-0.5 - 65535) * 32 = -2097136 = -32 * 65536 + 16,
        // so fraction 16. -3.25: iy = -4, (-3.25 - 65532) * 32 = -2097128 -> 24.
        // (-4 * 2048 + 2047) * 1024 mod 2^32 = 0xFF800000 + 0x1FFC00; + 24 * 32 + 16.
        QTest::newRow("negative") << -0.5f << -3.25f << quint32(0xFF9FFC00u + 768u + 16u);
        // 2050.25: ix low 11 bits 2, fraction 8; 3000.75: iy low 11 bits 952, fraction 24.
        QTest::newRow("above 2047")
            << 2050.25f << 3000.75f << quint32(952u * 2097152u + 2u * 1024u + 24u * 32u + 8u);
    }

    void entryEncoding() {
        QFETCH(float, sx);
        QFETCH(float, sy);
        QFETCH(quint32, entry);
        QCOMPARE(quint32(dpu_tool_encode_entry(sx, sy)), entry);
    }

    // Sizes outside what the drone's map unit takes are refused before
    // anything is written.
    void rejectsBadParameters_data() {
        QTest::addColumn<quint32>("width");
        QTest::addColumn<quint32>("height");
        QTest::addColumn<int>("srcDelta");
        QTest::addColumn<int>("dstDelta");
        QTest::addColumn<QString>("message");
        QTest::newRow("width 1921") << 1921u << 640u << 0 << 0 << "width must be in [128, 1920]";
        QTest::newRow("height 63") << 480u << 63u << 0 << 0 << "height must be in [64, 1080]";
        QTest::newRow("source size") << 128u << 64u << -1 << 0 << "Src memory size";
        QTest::newRow("destination size") << 128u << 64u << 0 << 4 << "Dst memory size";
    }

    void rejectsBadParameters() {
        QFETCH(quint32, width);
        QFETCH(quint32, height);
        QFETCH(int, srcDelta);
        QFETCH(int, dstDelta);
        QFETCH(QString, message);
        std::vector<std::uint8_t> src(width * height * 8 + srcDelta, 0);
        std::vector<std::uint8_t> dst(width * height * 4 + 20 + dstDelta, 0xAB);
        hi_dpu_tool_mem_info s{src.data(), static_cast<std::uint32_t>(src.size())};
        hi_dpu_tool_mem_info d{dst.data(), static_cast<std::uint32_t>(dst.size())};
        StdoutCapture capture;
        QCOMPARE(hi_dpu_tool(&s, &d, width, height), -1);
        const QString out = capture.finish();
        QVERIFY2(out.contains(message) && out.endsWith("Illegal parameter!\n"), qPrintable(out));
        QVERIFY(std::all_of(dst.begin(), dst.end(), [](std::uint8_t b) { return b == 0xAB; }));
    }

    // The file holds exactly what the conversion in memory makes, whether the
    // raw map comes from a file or from memory; a second conversion into an
    // existing file replaces it.
    void convertsAFile() {
        QTemporaryDir dir;
        const QString src = dir.filePath("480_640_0__LeftMap.dat");
        const QString dstPath = dir.filePath("480_640_1__LeftMap.dat");
        for (const float shift : {0.25f, 0.0f}) {
            std::vector<float> map = shiftedMap(480, 640, shift, 3 * shift);
            QVERIFY(writeFile(src, map.data(), qint64(map.size() * sizeof(float))));
            QByteArray expected(480 * 640 * 4 + 20, '\0');
            hi_dpu_tool_mem_info s{reinterpret_cast<std::uint8_t*>(map.data()),
                                   static_cast<std::uint32_t>(map.size() * sizeof(float))};
            hi_dpu_tool_mem_info d{reinterpret_cast<std::uint8_t*>(expected.data()),
                                   static_cast<std::uint32_t>(expected.size())};
            QCOMPARE(hi_dpu_tool(&s, &d, 480, 640), 0);
            const auto* header = reinterpret_cast<const std::uint8_t*>(expected.constData());
            QCOMPARE(expected.mid(4, 8), QByteArray("DPU_1.0\0", 8));
            QCOMPARE(readLe32(header + 12), 480u);
            QCOMPARE(readLe32(header + 16), 640u);
            QCOMPARE(readLe32(header), dpu_tool_calc_crc32(0, header + 4, d.size - 4));

            StdoutCapture capture;
            QVERIFY(HiDPUInterface().outFile(src, dstPath, 480, 640));
            QVERIFY(capture.finish().endsWith("Trans map successful!\n"));
            QFile out(dstPath);
            QVERIFY(out.open(QIODevice::ReadOnly));
            QVERIFY(out.readAll() == expected);
            QCOMPARE(HiDPUInterface::checkMapFile(dstPath, 480, 640), QString());

            const QString fromMemory = dir.filePath("from-memory.dat");
            StdoutCapture memoryCapture;
            QVERIFY(HiDPUInterface().outMat(cv::Mat(640, 960, CV_32F, map.data()), fromMemory, 480,
                                            640));
            memoryCapture.finish();
            QFile again(fromMemory);
            QVERIFY(again.open(QIODevice::ReadOnly));
            QVERIFY(again.readAll() == expected);
        }
    }

    // What is checked before a map leaves the computer: any damage is named.
    void mapCheckNamesTheDamage() {
        std::vector<float> map = shiftedMap(128, 64, 0.5f, 0.25f);
        QByteArray good(128 * 64 * 4 + 20, '\0');
        hi_dpu_tool_mem_info s{reinterpret_cast<std::uint8_t*>(map.data()),
                               static_cast<std::uint32_t>(map.size() * sizeof(float))};
        hi_dpu_tool_mem_info d{reinterpret_cast<std::uint8_t*>(good.data()),
                               static_cast<std::uint32_t>(good.size())};
        QCOMPARE(hi_dpu_tool(&s, &d, 128, 64), 0);
        QCOMPARE(HiDPUInterface::checkMap(good, 128, 64), QString());

        QByteArray flipped = good;
        flipped[1000] = static_cast<char>(flipped[1000] ^ 0x10);
        QVERIFY(HiDPUInterface::checkMap(flipped, 128, 64).contains("CRC"));
        QVERIFY(HiDPUInterface::checkMap(good.left(good.size() - 1), 128, 64)
                    .contains("32787 bytes instead of 32788"));
        QByteArray untagged = good;
        untagged[8] = '2';
        QVERIFY(HiDPUInterface::checkMap(untagged, 128, 64).contains("tag"));
        QVERIFY(HiDPUInterface::checkMap(good, 64, 128).contains("size fields 128 x 64"));

        QTemporaryDir dir;
        QVERIFY(HiDPUInterface::checkMapFile(dir.filePath("absent.dat"), 128, 64)
                    .startsWith("cannot read"));
    }

    void shortOrMissingSourceWritesNothing() {
        QTemporaryDir dir;
        const QString src = dir.filePath("short.dat");
        const QString dstPath = dir.filePath("out.dat");
        const std::vector<float> map = shiftedMap(480, 640, 0.0f, 0.0f);
        QVERIFY(writeFile(src, map.data(), qint64(map.size() * sizeof(float)) - 1));

        LogCapture log;
        StdoutCapture capture;
        QString why;
        QVERIFY(!HiDPUInterface().outFile(src, dstPath, 480, 640, &why));
        capture.finish();
        QVERIFY(!QFile::exists(dstPath));
        QVERIFY(log.contains("2457599"));
        QVERIFY2(why.contains("cannot read 2457600 bytes of " + src), qPrintable(why));

        StdoutCapture missing;
        QVERIFY(!HiDPUInterface().outFile(dir.filePath("absent.dat"), dstPath, 480, 640));
        missing.finish();
        QVERIFY(!QFile::exists(dstPath));

        // Dimensions the conversion refuses leave no file either.
        const std::vector<float> wide = shiftedMap(1921, 64, 0.0f, 0.0f);
        QVERIFY(writeFile(src, wide.data(), qint64(wide.size() * sizeof(float))));
        StdoutCapture refused;
        QVERIFY(!HiDPUInterface().outFile(src, dstPath, 1921, 64));
        refused.finish();
        QVERIFY(!QFile::exists(dstPath));

        // Writing into a folder that does not exist fails without a file.
        std::uint8_t byte = 1;
        hi_dpu_tool_mem_info one{&byte, 1};
        QCOMPARE(HiDPUInterface().save_map(&one, dir.filePath("no/such/dir/x.dat"), 1), -1);
        StdoutCapture noFolder;
        QVERIFY(!HiDPUInterface().outMat(cv::Mat(640, 960, CV_32F, const_cast<float*>(map.data())),
                                         dir.filePath("no/such/dir/x.dat"), 480, 640, &why));
        noFolder.finish();
        QVERIFY2(why.startsWith("cannot write " + dir.filePath("no/such/dir/x.dat")),
                 qPrintable(why));
    }
};

NIMBRA_CORE_TEST_MAIN(TestDpuTool)
#include "tst_dputool.moc"
