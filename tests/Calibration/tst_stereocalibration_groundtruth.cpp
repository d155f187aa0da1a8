#include "tests/Calibration/CalibrationRunFixture.h"

#include "Calibration/ImageData.h"
#include "tests/support/StereoRigSimulator.h"

#include "tests/support/OutputCapture.h"
#include "tests/support/TestMain.h"

#include <QFile>

#include <opencv2/calib3d.hpp>

#include <algorithm>
#include <cmath>

namespace {

struct TruthMaps {
    cv::Mat leftX, leftY, rightX, rightY;
};

// The rectification the calibration would produce from the true rig.
TruthMaps truthMaps(const SimulatedRig& rig) {
    cv::Mat R1, R2, P1, P2, Q;
    cv::stereoRectify(rig.left.K, rig.left.dist, rig.right.K, rig.right.dist, rig.imageSize, rig.R,
                      rig.T, R1, R2, P1, P2, Q, cv::CALIB_ZERO_DISPARITY, 0, rig.imageSize);
    TruthMaps m;
    cv::initUndistortRectifyMap(rig.left.K, rig.left.dist, R1, P1, rig.imageSize, CV_32FC1, m.leftX,
                                m.leftY);
    cv::initUndistortRectifyMap(rig.right.K, rig.right.dist, R2, P2, rig.imageSize, CV_32FC1,
                                m.rightX, m.rightY);
    return m;
}

struct MapError {
    double median = -1;
    double p95 = -1;
    size_t pixels = 0;
};

// Decodes a depth-unit map file and compares every entry whose true source
// lies inside the image with the true source position.
MapError compareDpuMap(const QString& path, const cv::Mat& trueX, const cv::Mat& trueY) {
    MapError result;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return result;
    }
    const QByteArray bytes = f.readAll();
    const int w = trueX.cols, h = trueX.rows;
    if (bytes.size() != w * h * 4 + 20) {
        return result;
    }
    const auto* entries = reinterpret_cast<const std::uint8_t*>(bytes.constData()) + 20;
    std::vector<double> errors;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const float tx = trueX.at<float>(y, x), ty = trueY.at<float>(y, x);
            if (tx < 0 || ty < 0 || tx > w - 1 || ty > h - 1) {
                continue;
            }
            const std::uint8_t* p = entries + (static_cast<size_t>(y) * w + x) * 4;
            const std::uint32_t e = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                                    std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
            const double sx = ((e >> 10) & 0x7FF) + (e & 31) / 32.0;
            const double sy = (e >> 21) + ((e >> 5) & 31) / 32.0;
            errors.push_back(std::hypot(sx - tx, sy - ty));
        }
    }
    if (errors.empty()) {
        return result;
    }
    result.pixels = errors.size();
    std::sort(errors.begin(), errors.end());
    result.median = errors[errors.size() / 2];
    result.p95 = errors[static_cast<size_t>(0.95 * (errors.size() - 1))];
    return result;
}

double relativeError(double measured, double truth) {
    return std::fabs(measured - truth) / std::fabs(truth);
}

QStringList logTitles(const QString& path) {
    QFile f(path);
    QStringList titles;
    if (!f.open(QIODevice::ReadOnly)) {
        return titles;
    }
    for (const QString& line : QString::fromUtf8(f.readAll()).split('\n')) {
        if (line.startsWith("\t<----")) {
            titles << line.section("=", 0, 0).trimmed();
        }
    }
    return titles;
}

}  // namespace

class TestStereoCalibrationGroundTruth : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { m_folder = prepareDocuments(); }
    void recoversBothSimulatedRigs();

private:
    void checkIntrinsics(const char* name, const cv::Mat& K, const SimulatedCamera& truth);
    QString m_folder;
};

void TestStereoCalibrationGroundTruth::checkIntrinsics(const char* name, const cv::Mat& K,
                                                       const SimulatedCamera& truth) {
    const double e[4] = {relativeError(K.at<double>(0, 0), truth.K.at<double>(0, 0)),
                         relativeError(K.at<double>(1, 1), truth.K.at<double>(1, 1)),
                         relativeError(K.at<double>(0, 2), truth.K.at<double>(0, 2)),
                         relativeError(K.at<double>(1, 2), truth.K.at<double>(1, 2))};
    qInfo("%s: fx %.4f%%  fy %.4f%%  cx %.4f%%  cy %.4f%%", name, 100 * e[0], 100 * e[1],
          100 * e[2], 100 * e[3]);
    for (double err : e) {
        QVERIFY2(err < 0.01, name);
    }
}

void TestStereoCalibrationGroundTruth::recoversBothSimulatedRigs() {
    const SimulatedRig forward = SimulatedRig::forward();
    const SimulatedRig downward = SimulatedRig::downward();
    const std::vector<SimulatedView> forwardViews = simulateViews(forward);
    const std::vector<SimulatedView> downwardViews = simulateViews(downward);
    // The data set must hold whole and partial views for either camera.
    for (const auto* views : {&forwardViews, &downwardViews}) {
        QCOMPARE(views->size(), size_t(26));
        size_t whole = 0, partial = 0;
        for (const SimulatedView& v : *views) {
            QVERIFY(v.leftImage.size() >= 60 && v.rightImage.size() >= 60);
            (v.leftImage.size() == 248 ? whole : partial) += 1;
        }
        QVERIFY(whole >= 10 && partial >= 3);
    }
    // Every image's lists handed over as the ordering tasks do, then the
    // computation of the run.
    ImageData store;
    store.startRun();
    {
        LogCapture log;
        StdoutCapture out;
        for (int pair = 0; pair < 2; ++pair) {
            const std::vector<SimulatedView>& views = pair == 0 ? forwardViews : downwardViews;
            for (size_t v = 0; v < views.size(); ++v) {
                const int index = static_cast<int>(v) + pair * ImageData::kSlotsPerPair;
                const SimulatedView& view = views[v];
                QVERIFY(store.storeSorted(index, 1, view.leftImage, view.leftBoard));
                QVERIFY(store.storeSorted(index, 2, view.rightImage, view.rightBoard));
            }
        }
        store.calibrateRun();
        const QString printed = out.finish();
        QCOMPARE(printed.count("Trans map successful!"), 4);
    }
    const bool ok = store.m_nCalibResult == ImageData::kResultSucceeded;
    QVERIFY(ok);
    QCOMPARE(int(store.m_nCalibResult), ImageData::kResultSucceeded);

    checkIntrinsics("forward left", store.m_matLeftCamera_front, forward.left);
    checkIntrinsics("forward right", store.m_matRightCamera_front, forward.right);
    checkIntrinsics("downward left", store.m_matLeftCamera_down, downward.left);
    checkIntrinsics("downward right", store.m_matRightCamera_down, downward.right);
    const double tFront = relativeError(std::fabs(store.m_matT_front.at<double>(0)), 5.9);
    const double tDown = relativeError(std::fabs(store.m_matT_down.at<double>(0)), 3.9);
    qInfo("T[0]: forward %.4f cm (|T[0]| off by %.4f%%), downward %.4f cm (%.4f%%)",
          store.m_matT_front.at<double>(0), 100 * tFront, store.m_matT_down.at<double>(0),
          100 * tDown);
    QVERIFY(tFront < 0.01);
    QVERIFY(tDown < 0.01);

    for (const QString& raw : {store.m_strFrontLeftMap, store.m_strFrontRightMap,
                               store.m_strDownLeftMap, store.m_strDownRightMap}) {
        QCOMPARE(QFileInfo(raw).size(), qint64(2457600));
    }

    const TruthMaps tf = truthMaps(forward);
    const TruthMaps td = truthMaps(downward);
    const struct {
        const char* name;
        QString path;
        const cv::Mat& x;
        const cv::Mat& y;
    } maps[] = {{"forward left", store.m_strFrontLeftDpuMap, tf.leftX, tf.leftY},
                {"forward right", store.m_strFrontRightDpuMap, tf.rightX, tf.rightY},
                {"downward left", store.m_strDownLeftDpuMap, td.leftX, td.leftY},
                {"downward right", store.m_strDownRightDpuMap, td.rightX, td.rightY}};
    for (const auto& m : maps) {
        const MapError err = compareDpuMap(m.path, m.x, m.y);
        qInfo("%s map: median %.3f px, 95th percentile %.3f px over %zu pixels", m.name, err.median,
              err.p95, err.pixels);
        QVERIFY2(err.pixels > 0, m.name);
        QVERIFY2(err.median < 0.2, m.name);
        QVERIFY2(err.p95 < 0.4, m.name);
    }

    const QStringList titles = logTitles(store.m_strLogFile);
    const QStringList expected = {"<----FRONT_LEFT_RMS",
                                  "<----FRONT_RIGHT_RMS",
                                  "<----前视左侧相机内参---->",
                                  "<----前视右侧相机内参---->",
                                  "<----前视左侧相机畸变---->",
                                  "<----前视右侧相机畸变---->",
                                  "<----FRONT_ERR",
                                  "<----前视左侧相机内参优化---->",
                                  "<----前视右侧相机内参优化---->",
                                  "<----前视左侧相机畸变优化---->",
                                  "<----前视右侧相机畸变优化---->",
                                  "<----前视R矩阵---->",
                                  "<----前视T矩阵---->",
                                  "<----forw-Rl---->",
                                  "<----forw-Rr---->",
                                  "<----forw-pl---->",
                                  "<----forw-pr---->",
                                  "<----DOWN_LEFT_RMS",
                                  "<----DOWN_RIGHT_RMS",
                                  "<----下视左侧相机内参---->",
                                  "<----下视右侧相机内参---->",
                                  "<----下视左侧相机畸变---->",
                                  "<----下视右侧相机畸变---->",
                                  "<----下视左侧相机内参优化---->",
                                  "<----下视右侧相机内参优化---->",
                                  "<----下视左侧相机畸变优化---->",
                                  "<----下视右侧相机畸变优化---->",
                                  "<----DOWN_ERR",
                                  "<----下视R矩阵---->",
                                  "<----下视T矩阵---->",
                                  "<----DOWN-Rl---->",
                                  "<----DOWN-Rr---->",
                                  "<----DOWN_pl---->",
                                  "<----DOWN_pr---->"};
    QCOMPARE(titles, expected);
}

NIMBRA_CORE_TEST_MAIN(TestStereoCalibrationGroundTruth)
#include "tst_stereocalibration_groundtruth.moc"
