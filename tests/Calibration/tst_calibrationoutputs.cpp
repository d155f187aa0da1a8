#include "Calibration/ImageData.h"

#include "tests/support/OutputCapture.h"
#include "tests/support/TestMain.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstring>

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QByteArray kSeparator =
    "<------------------------------------------------------------------->\n\n";

}  // namespace

class TestCalibrationOutputs : public QObject {
    Q_OBJECT

private slots:
    void logEntriesHaveTheirExactLayout() {
        ImageData store;
        store.m_strLogFile = m_dir.filePath("log.txt");

        store.abWrite("\t<----FRONT_LEFT_RMS = 0.123457---->", cv::Mat());
        const cv::Mat K =
            (cv::Mat_<double>(3, 3) << 448.123456, 0, 241.5, 0, 447.2, 318.4, 0, 0, 1);
        store.abWrite(QString::fromUtf8("\t<----前视左侧相机内参---->"), K);
        const cv::Mat T = (cv::Mat_<double>(3, 1) << -5.9, 1e-7, 123456789.0);
        store.abWrite(QString::fromUtf8("\t<----前视T矩阵---->"), T);

        const QByteArray expected = "\t<----FRONT_LEFT_RMS = 0.123457---->\n" + kSeparator +
                                    QString::fromUtf8("\t<----前视左侧相机内参---->\n").toUtf8() +
                                    "448.123\t\t0\t\t241.5\t\t\n"
                                    "0\t\t447.2\t\t318.4\t\t\n"
                                    "0\t\t0\t\t1\t\t\n" +
                                    kSeparator +
                                    QString::fromUtf8("\t<----前视T矩阵---->\n").toUtf8() +
                                    "-5.9\t\t\n"
                                    "1e-07\t\t\n"
                                    "1.23457e+08\t\t\n" +
                                    kSeparator;
        QCOMPARE(readAll(store.m_strLogFile), expected);
    }

    void unwritableOutputFailsWithOneDebugLineAndItsReason() {
        ImageData store;
        store.m_strLogFile = m_dir.filePath("missing/dir/log.txt");
        LogCapture log;
        QVERIFY(!store.abWrite("\tx", cv::Mat::eye(3, 3, CV_64F)));
        QCOMPARE(log.messages().size(), 1);
        QVERIFY(log.messages().first().contains(store.m_strLogFile));
        QString why;
        QVERIFY(!store.appendLog("\tx\n", &why));
        QVERIFY2(why.startsWith("cannot write " + store.m_strLogFile + ": "), qPrintable(why));

        LogCapture datLog;
        const QString map = m_dir.filePath("missing/dir/map.dat");
        QVERIFY(!store.abWriteDat(map, cv::Mat::zeros(2, 2, CV_32F), &why));
        QCOMPARE(datLog.messages().size(), 1);
        QVERIFY2(why.startsWith("cannot write " + map + ": "), qPrintable(why));
    }

    void rawMapIsRowsOfRawBytesAndIsTruncated() {
        ImageData store;
        const QString path = m_dir.filePath("480_640_0__LeftMap.dat");
        cv::Mat big(640, 960, CV_32F);
        for (int r = 0; r < big.rows; ++r) {
            for (int c = 0; c < big.cols; ++c) {
                big.at<float>(r, c) = static_cast<float>(r * 1000 + c) + 0.25f;
            }
        }
        store.abWriteDat(path, big);
        const QByteArray bytes = readAll(path);
        QCOMPARE(bytes.size(), 2457600);
        float value;
        std::memcpy(&value, bytes.constData() + (639 * 960 + 959) * 4, 4);
        QCOMPARE(value, 639959.25f);

        // A row-strided view is written row by row, without the rows' padding.
        const cv::Mat part = big(cv::Rect(1, 2, 3, 2));
        store.abWriteDat(path, part);
        const QByteArray small = readAll(path);
        QCOMPARE(small.size(), 24);
        std::memcpy(&value, small.constData() + 12, 4);
        QCOMPARE(value, 3001.25f);
    }

private:
    QTemporaryDir m_dir;
};

NIMBRA_CORE_TEST_MAIN(TestCalibrationOutputs)
#include "tst_calibrationoutputs.moc"
