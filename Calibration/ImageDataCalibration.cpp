#include "Calibration/ImageData.h"

#include "Calibration/HiDPUInterface.h"

#include <QDebug>
#include <QFile>

#include <opencv2/calib3d.hpp>

#include <cfloat>
#include <cmath>
#include <future>

namespace {

constexpr double kMaxRms = 0.5;

// Everything in which the two pairs differ. Lists and matrices are the
// store's own, bound by reference.
struct PairSetup {
    bool forward;
    cv::Size imageSize;
    double minBaseline;
    double maxBaseline;
    std::vector<ImageData::ImagePoints>& leftPix;
    std::vector<ImageData::BoardPoints>& leftWorld;
    std::vector<ImageData::ImagePoints>& rightPix;
    std::vector<ImageData::BoardPoints>& rightWorld;
    std::vector<ImageData::BoardPoints>& stereoWorld;
    std::vector<ImageData::ImagePoints>& stereoLeft;
    std::vector<ImageData::ImagePoints>& stereoRight;
    cv::Mat& leftCamera;
    cv::Mat& rightCamera;
    cv::Mat& translation;
    cv::Mat& leftProj;
    cv::Mat& rightProj;
    QString leftMap;
    QString rightMap;
    QString leftDpuMap;
    QString rightDpuMap;
    PairDiagnostics& diag;
};

QString g6(double v) {
    return QString::number(v, 'g', 6);
}

template <typename List>
void logListSizes(const std::vector<List>& lists, const char* label) {
    for (size_t i = 0; i < lists.size(); ++i) {
        qDebug() << i << label << lists[i].size();
    }
}

// Source (x, y) of every pixel, interleaved per row: the raw map file layout.
cv::Mat mergeMaps(const cv::Mat& mapX, const cv::Mat& mapY) {
    cv::Mat interleaved;
    cv::merge(std::vector<cv::Mat>{mapX, mapY}, interleaved);
    return interleaved.reshape(1, mapX.rows);
}

// Copies for the run report; the calibration's own lists stay untouched.
void keepViews(CameraDiagnostics& c, const std::vector<ImageData::ImagePoints>& pix,
               const std::vector<ImageData::BoardPoints>& world) {
    c.imagePoints = pix;
    c.boardPoints = world;
}

void keepMono(CameraDiagnostics& c, double rms, const cv::Mat& K, const cv::Mat& dist,
              const std::vector<cv::Mat>& rvecs, const std::vector<cv::Mat>& tvecs) {
    c.calibrated = true;
    c.rms = rms;
    c.intrinsics = K.clone();
    c.distortion = dist.clone();
    c.rvecs.clear();
    c.tvecs.clear();
    for (size_t i = 0; i < rvecs.size() && i < tvecs.size(); ++i) {
        c.rvecs.push_back(rvecs[i].clone());
        c.tvecs.push_back(tvecs[i].clone());
    }
}

// What one pair's computation leaves to be written: its log entries, in
// order, and, when every check passed, the two merged maps.
struct PairOutputs {
    QByteArray log;
    cv::Mat leftMap;  // CV_32F, rows x (2 x width): the raw map file's layout
    cv::Mat rightMap;
};

// The checks and the OpenCV work of one pair; nothing is written to disk
// here. The two single-camera calibrations are independent and run at the
// same time; each result enters the store and the diagnostics in the order
// a one-after-the-other computation gives them, so the outcome, the log and
// the maps do not depend on which finishes first.
bool calibratePair(ImageData& d, PairSetup& p, PairOutputs& out) {
    const QString side = p.forward ? "FRONT" : "DOWN";
    const QString cn = p.forward ? QString::fromUtf8("前视") : QString::fromUtf8("下视");
    cv::Mat leftDist = cv::Mat::zeros(5, 1, CV_64F);
    cv::Mat rightDist = cv::Mat::zeros(5, 1, CV_64F);
    const auto log = [&out](const QString& title, const cv::Mat& matrix) {
        out.log += ImageData::logEntry(title, matrix);
    };

    if (p.forward) {
        logListSizes(p.leftWorld, "m_vecWorld_front.size(): ");
        logListSizes(p.leftPix, "m_vecLeftPix_front.size(): ");
        logListSizes(p.rightWorld, "m_vecRightWorld_front.size(): ");
        logListSizes(p.rightPix, "m_vecRightPix_front.size(): ");
    }

    const cv::TermCriteria monoCriteria(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, 30,
                                        DBL_EPSILON);
    keepViews(p.diag.left, p.leftPix, p.leftWorld);
    keepViews(p.diag.right, p.rightPix, p.rightWorld);
    cv::Mat leftCamera = p.leftCamera.clone();
    cv::Mat rightCamera = p.rightCamera.clone();
    std::vector<cv::Mat> leftRvecs, leftTvecs, rightRvecs, rightTvecs;
    std::future<double> right = std::async(std::launch::async, [&] {
        return cv::calibrateCamera(p.rightWorld, p.rightPix, p.imageSize, rightCamera, rightDist,
                                   rightRvecs, rightTvecs, 0, monoCriteria);
    });
    // Should the left calibration throw, the future still waits for the
    // right one before the locals it writes go away.
    const double leftRms = cv::calibrateCamera(p.leftWorld, p.leftPix, p.imageSize, leftCamera,
                                               leftDist, leftRvecs, leftTvecs, 0, monoCriteria);
    p.leftCamera = leftCamera;
    keepMono(p.diag.left, leftRms, p.leftCamera, leftDist, leftRvecs, leftTvecs);
    const double rightRms = right.get();
    p.rightCamera = rightCamera;
    keepMono(p.diag.right, rightRms, p.rightCamera, rightDist, rightRvecs, rightTvecs);

    if (p.forward) {
        d.m_strLogFile = d.newLogFilePath();
    }
    log("\t<----" + side + "_LEFT_RMS = " + g6(leftRms) + "---->", cv::Mat());
    log("\t<----" + side + "_RIGHT_RMS = " + g6(rightRms) + "---->", cv::Mat());
    log("\t<----" + cn + QString::fromUtf8("左侧相机内参---->"), p.leftCamera);
    log("\t<----" + cn + QString::fromUtf8("右侧相机内参---->"), p.rightCamera);
    log("\t<----" + cn + QString::fromUtf8("左侧相机畸变---->"), leftDist);
    log("\t<----" + cn + QString::fromUtf8("右侧相机畸变---->"), rightDist);

    if (p.stereoWorld.empty() || p.stereoWorld.size() != p.stereoLeft.size() ||
        p.stereoWorld.size() != p.stereoRight.size()) {
        qDebug() << "stereo lists empty or unequal (board, left, right):" << p.stereoWorld.size()
                 << p.stereoLeft.size() << p.stereoRight.size();
        p.diag.stop = PairDiagnostics::Stop::NoStereoViews;
        return false;
    }

    cv::Mat R, E, F;
    const cv::TermCriteria stereoCriteria(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, 100,
                                          1e-5);
    const double stereoRms =
        cv::stereoCalibrate(p.stereoWorld, p.stereoLeft, p.stereoRight, p.leftCamera, leftDist,
                            p.rightCamera, rightDist, p.imageSize, R, p.translation, E, F,
                            cv::CALIB_USE_INTRINSIC_GUESS, stereoCriteria);
    p.diag.stereoViews = static_cast<int>(p.stereoWorld.size());
    p.diag.stereoRms = stereoRms;
    p.diag.left.refinedIntrinsics = p.leftCamera.clone();
    p.diag.left.refinedDistortion = leftDist.clone();
    p.diag.right.refinedIntrinsics = p.rightCamera.clone();
    p.diag.right.refinedDistortion = rightDist.clone();
    p.diag.R = R.clone();
    p.diag.T = p.translation.clone();

    const QString errTitle = "\t<----" + side + "_ERR = " + g6(stereoRms) + "---->";
    if (p.forward) {
        log(errTitle, cv::Mat());
    }
    log("\t<----" + cn + QString::fromUtf8("左侧相机内参优化---->"), p.leftCamera);
    log("\t<----" + cn + QString::fromUtf8("右侧相机内参优化---->"), p.rightCamera);
    log("\t<----" + cn + QString::fromUtf8("左侧相机畸变优化---->"), leftDist);
    log("\t<----" + cn + QString::fromUtf8("右侧相机畸变优化---->"), rightDist);
    if (!p.forward) {
        log(errTitle, cv::Mat());
    }
    log("\t<----" + cn + QString::fromUtf8("R矩阵---->"), R);
    log("\t<----" + cn + QString::fromUtf8("T矩阵---->"), p.translation);

    if (p.translation.empty() || p.translation.total() == 0) {
        qDebug() << (p.forward ? "mat front is empty" : "mat down is empty");
        p.diag.stop = PairDiagnostics::Stop::TranslationEmpty;
        return false;
    }
    const double baseline = std::fabs(p.translation.at<double>(0));
    p.diag.baselineCm = baseline;
    qDebug() << (p.forward ? "------------------first-font---------------"
                           : "------------------first-down---------------");
    // Written as "inside" so that a NaN from a degenerate calibration fails too.
    if (!(baseline >= p.minBaseline && baseline <= p.maxBaseline)) {
        qDebug() << (p.forward ? "font-标定板尺寸不对" : "down-标定板尺寸不对") << baseline;
        p.diag.stop = PairDiagnostics::Stop::BaselineOutOfRange;
        return false;
    }
    if (!(leftRms <= kMaxRms && rightRms <= kMaxRms && stereoRms <= kMaxRms)) {
        qDebug() << "maxValue: " << kMaxRms;
        qDebug() << (p.forward ? "FRONT_LEFT_RMS: " : "DOWN_LEFT_RMS: ") << leftRms;
        qDebug() << (p.forward ? "FRONT_RIGHT_RMS: " : "DOWN_RIGHT_RMS: ") << rightRms;
        qDebug() << (p.forward ? "FRONT_ERR: " : "DOWN_ERR: ") << stereoRms;
        p.diag.stop = PairDiagnostics::Stop::RmsTooHigh;
        return false;
    }

    cv::Mat R1, R2, Q;
    cv::stereoRectify(p.leftCamera, leftDist, p.rightCamera, rightDist, p.imageSize, R,
                      p.translation, R1, R2, p.leftProj, p.rightProj, Q, cv::CALIB_ZERO_DISPARITY,
                      0, p.imageSize);
    cv::Mat leftX, leftY, rightX, rightY;
    cv::initUndistortRectifyMap(p.leftCamera, leftDist, R1, p.leftProj, p.imageSize, CV_32FC1,
                                leftX, leftY);
    cv::initUndistortRectifyMap(p.rightCamera, rightDist, R2, p.rightProj, p.imageSize, CV_32FC1,
                                rightX, rightY);

    log(p.forward ? "\t<----forw-Rl---->" : "\t<----DOWN-Rl---->", R1);
    log(p.forward ? "\t<----forw-Rr---->" : "\t<----DOWN-Rr---->", R2);
    log(p.forward ? "\t<----forw-pl---->" : "\t<----DOWN_pl---->", p.leftProj);
    log(p.forward ? "\t<----forw-pr---->" : "\t<----DOWN_pr---->", p.rightProj);

    out.leftMap = mergeMaps(leftX, leftY);
    out.rightMap = mergeMaps(rightX, rightY);
    p.diag.stop = PairDiagnostics::Stop::Passed;
    return true;
}

// Writes what the computation left: the log entries (those of a pair that
// failed a check too), and for a pair that passed its raw maps and, converted
// in memory, its depth-unit maps. Stops at the first failure, with why in
// error; no file is left half written.
bool writePairOutputs(ImageData& d, const PairSetup& p, const PairOutputs& out, QString* error) {
    if (!out.log.isEmpty() && !d.appendLog(out.log, error)) {
        return false;
    }
    if (out.leftMap.empty() || out.rightMap.empty()) {
        return true;
    }
    for (const QString& path : {p.leftMap, p.rightMap, p.leftDpuMap, p.rightDpuMap}) {
        QFile::remove(path);
    }
    const auto width = static_cast<std::uint32_t>(p.imageSize.width);
    const auto height = static_cast<std::uint32_t>(p.imageSize.height);
    return d.abWriteDat(p.leftMap, out.leftMap, error) &&
           d.abWriteDat(p.rightMap, out.rightMap, error) &&
           HiDPUInterface().outMat(out.leftMap, p.leftDpuMap, width, height, error) &&
           HiDPUInterface().outMat(out.rightMap, p.rightDpuMap, width, height, error);
}

// OpenCV throws on inputs it cannot calibrate (a camera without views, a view
// with fewer than four points, lists of different lengths); that is a failed
// calibration of the pair, not a reason to end the process. Outputs that
// cannot be written fail a pair that passed its checks.
bool calibrateGuarded(ImageData& d, PairSetup& p) {
    p.diag = PairDiagnostics();
    p.diag.imageSize = p.imageSize;
    p.diag.minBaselineCm = p.minBaseline;
    p.diag.maxBaselineCm = p.maxBaseline;
    p.diag.maxRmsPx = kMaxRms;
    PairOutputs out;
    bool ok = false;
    try {
        ok = calibratePair(d, p, out);
    } catch (const cv::Exception& e) {
        qDebug() << (p.forward ? "front" : "down") << "calibration refused by OpenCV:" << e.what();
        p.diag.stop = PairDiagnostics::Stop::OpenCvRefused;
        p.diag.opencvError = QString::fromStdString(e.err);
    }
    QString error;
    if (!writePairOutputs(d, p, out, &error)) {
        qDebug().noquote() << (p.forward ? "front" : "down") << "calibration not saved:" << error;
        p.diag.outputError = error;
        if (ok) {
            p.diag.stop = PairDiagnostics::Stop::OutputFailed;
            ok = false;
        }
    }
    return ok;
}

}  // namespace

bool ImageData::calibration_front() {
    PairSetup p{true,
                cv::Size(480, 640),
                5.7,
                6.1,
                m_vecLeftPix_front,
                m_vecWorld_front,
                m_vecRightPix_front,
                m_vecRightWorld_front,
                m_vecStereoWorld_front,
                m_vecStereoLeftPix_front,
                m_vecStereoRightPix_front,
                m_matLeftCamera_front,
                m_matRightCamera_front,
                m_matT_front,
                m_matLeftProj_front,
                m_matRightProj_front,
                m_strFrontLeftMap,
                m_strFrontRightMap,
                m_strFrontLeftDpuMap,
                m_strFrontRightDpuMap,
                m_diagnostics.forward};
    return calibrateGuarded(*this, p);
}

bool ImageData::calibration_down() {
    PairSetup p{false,
                cv::Size(640, 480),
                3.7,
                4.1,
                m_vecLeftPix_down,
                m_vecWorld_down,
                m_vecRightPix_down,
                m_vecRightWorld_down,
                m_vecStereoWorld_down,
                m_vecStereoLeftPix_down,
                m_vecStereoRightPix_down,
                m_matLeftCamera_down,
                m_matRightCamera_down,
                m_matT_down,
                m_matLeftProj_down,
                m_matRightProj_down,
                m_strDownLeftMap,
                m_strDownRightMap,
                m_strDownLeftDpuMap,
                m_strDownRightDpuMap,
                m_diagnostics.downward};
    return calibrateGuarded(*this, p);
}

bool ImageData::calibrateRun() {
    fixSortData();
    bool ok = calibration_front();
    if (ok) {
        ok = calibration_down();
    }
    m_nCalibResult = ok ? kResultSucceeded : kResultFailed;
    return ok;
}
