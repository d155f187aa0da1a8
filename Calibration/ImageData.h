#pragma once

#include "Calibration/CalibrationDiagnostics.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

struct ResultData;
struct FileData;

// The store of a calibration run.
//
// Ordering tasks hand over, per image and camera, the circle centres in board
// order (pixels, cv::Point2f) and the matching board points (centimetres,
// cv::Point3f with z = 0); entry j of one list is the image of entry j of the
// other. Once a pair's lists are complete they are compacted and paired
// (fixSortPair) and the pair calibrated; the data channel then reads the
// matrices and map paths. Every CalibrationRun owns a store of its own;
// getInstance() is the process-wide one for callers outside a run.
//
// Threading: ordering tasks write disjoint slots (a CalibrationRun serialises
// them). This only works because InitData sizes every per-slot vector before a
// run starts and nothing resizes a pair's vectors until every task of that
// pair has stored; storeSorted never grows a vector. m_nCalibResult is the
// only field touched by several threads at once.
class ImageData : public QObject {
    Q_OBJECT

public:
    using ImagePoints = std::vector<cv::Point2f>;
    using BoardPoints = std::vector<cv::Point3f>;

    static constexpr int kSlotsPerPair = 26;
    static constexpr int kImagesPerRun = 2 * kSlotsPerPair;  // global indexes 0..51
    static constexpr int kResultPending = -1;
    static constexpr int kResultFailed = 0;
    static constexpr int kResultSucceeded = 1;

    // The process-wide store, built on the first call (thread-safe). Paths are
    // taken from the Documents location at that moment.
    static ImageData* getInstance();

    // Empties every slot, sizes the eight per-slot vectors to 26 empty lists,
    // resets the intrinsic (3x3) and projection (3x4) matrices to identity and
    // empties the stereo vectors. Keeps the run result, the translations and the
    // paths.
    void InitData();

    // InitData plus the run result back to pending: what a new run must start
    // from, whatever the previous run left (a failed run leaves compacted
    // vectors that no longer have one entry per slot).
    void startRun();

    // Hand-over of one ordered image. imageIndex is the global image number
    // (0..25 forward pair, 26..51 downward pair), camera 1 = left, 2 = right.
    // Replaces the slot's two lists with copies. Returns false and writes
    // nothing when the index or camera has no slot, or when the store is not
    // sized for slots (a run was not started with startRun/InitData).
    bool storeSorted(int imageIndex, int camera, const ImagePoints& imagePoints,
                     const BoardPoints& boardPoints);

    // Compacts each pair's per-slot vectors (drops views a camera did not find)
    // and builds the stereo vectors: one entry per view both cameras found with
    // at least one board point in common, left and right points paired by
    // bit-identical board coordinates. Forward pair first, then downward.
    void fixSortData();
    // The same for one pair only; the other pair's lists are not touched, so
    // its tasks may go on storing meanwhile.
    void fixSortPair(bool forward);

    // Where the calibration log ("<folder>/log/<time>.txt") and the eight map
    // files ("<folder>/<w>_<h>_<kind>__<Side>Map.dat", kind 0 raw float map, 1
    // depth-unit map) go. "<Documents>/NimbraDesktop" unless a replay points
    // it elsewhere; setting it recomputes every path.
    void setOutputFolder(const QString& folder);
    QString outputFolder() const { return m_strOutputFolder; }
    // A fresh log file path stamped with the current local time.
    QString newLogFilePath() const;

    std::atomic<std::int32_t> m_nCalibResult{kResultPending};
    QString m_strOutputFolder;
    QString m_strLogFile;
    QString m_strFrontLeftMap;
    QString m_strFrontRightMap;
    QString m_strFrontLeftDpuMap;
    QString m_strFrontRightDpuMap;
    QString m_strDownLeftMap;
    QString m_strDownRightMap;
    QString m_strDownLeftDpuMap;
    QString m_strDownRightDpuMap;

    std::vector<ImagePoints> m_vecLeftPix_front;
    std::vector<BoardPoints> m_vecWorld_front;
    std::vector<ImagePoints> m_vecRightPix_front;
    std::vector<BoardPoints> m_vecRightWorld_front;
    std::vector<ImagePoints> m_vecStereoLeftPix_front;
    std::vector<ImagePoints> m_vecStereoRightPix_front;
    std::vector<BoardPoints> m_vecStereoWorld_front;

    std::vector<ImagePoints> m_vecLeftPix_down;
    std::vector<BoardPoints> m_vecWorld_down;
    std::vector<ImagePoints> m_vecRightPix_down;
    std::vector<BoardPoints> m_vecRightWorld_down;
    std::vector<ImagePoints> m_vecStereoLeftPix_down;
    std::vector<ImagePoints> m_vecStereoRightPix_down;
    std::vector<BoardPoints> m_vecStereoWorld_down;

    cv::Mat m_matLeftCamera_front;   // 3x3 CV_64F
    cv::Mat m_matRightCamera_front;  // 3x3 CV_64F
    cv::Mat m_matLeftCamera_down;    // 3x3 CV_64F
    cv::Mat m_matRightCamera_down;   // 3x3 CV_64F
    cv::Mat m_matLeftProj_front;     // 3x4 CV_64F
    cv::Mat m_matRightProj_front;    // 3x4 CV_64F
    cv::Mat m_matLeftProj_down;      // 3x4 CV_64F
    cv::Mat m_matRightProj_down;     // 3x4 CV_64F
    cv::Mat m_matT_front;            // 3x1 CV_64F, centimetres
    cv::Mat m_matT_down;             // 3x1 CV_64F, centimetres

    // What the last run's calibration computed and where each pair stopped,
    // for the run report only. Reset by startRun, kept by InitData (the
    // upload resets the lists before the report is written).
    CalibrationDiagnostics m_diagnostics;

    // --- Upload packets of the data channel ---

    // Fills the 74-byte result of one camera from this store. position is a
    // camera in the stream reader's numbering (VideoShow::VideoPosition: 0
    // forward left, 1 forward right, 2 downward left, 3 downward right). The
    // record is first reset to zero, padding included; for any other position
    // only the head and the tail are set. A matrix element the store does not
    // hold (a matrix never computed, or smaller than expected) is sent as 0.
    void packResult(ResultData* out, int position) const;

    // Sets the head (0x0201) and tail (0x0403) of a file chunk record and
    // nothing else.
    void packFile(FileData* out) const;

    // --- end of upload packets ---

    // ---- Calibration computation: stereo calibration, log and raw map outputs ----
    // (ImageDataCalibration.cpp, ImageDataOutputs.cpp)

    // Calibrate one pair from the lists fixSortData left: each camera
    // (cv::calibrateCamera, the two at the same time), then the pair
    // (cv::stereoCalibrate), checked against |T[0]| in [5.7, 6.1] cm (forward)
    // or [3.7, 4.1] cm (downward) and every RMS <= 0.5 px; on success rectify,
    // write the two raw maps and the two depth-unit maps converted from them
    // in memory. Forward images are 480 x 640, downward 640 x 480. The log
    // entries of the call are appended to the log file together once the
    // computation is over. Returns false when a check fails, when OpenCV
    // refuses the input (it throws on a camera without views or a view with
    // too few points), or when the log or a map cannot be written
    // (m_diagnostics says which and why); the matrices computed up to that
    // point stay in the store. calibration_front starts a new log file.
    bool calibration_front();
    bool calibration_down();

    // The computation of a finished run: fixSortData, calibration_front, and
    // calibration_down only when the forward pair succeeded; publishes 1 or 0 in
    // m_nCalibResult and returns the outcome. The caller guarantees that no
    // ordering task writes the store meanwhile.
    bool calibrateRun();

    // One log entry as UTF-8: the title line, the rows of matrix (read as
    // CV_64F; other types are converted, an empty matrix gives no rows), each
    // element in %g with 6 digits followed by two tabs, then the separator
    // line and a blank line.
    static QByteArray logEntry(const QString& title, const cv::Mat& matrix);

    // Appends entries (logEntry's) to m_strLogFile. False, with one debug line
    // and why in error, when the file cannot be opened or written whole.
    bool appendLog(const QByteArray& entries, QString* error = nullptr);

    // Appends one entry to m_strLogFile (appendLog of logEntry).
    bool abWrite(const QString& title, const cv::Mat& matrix);

    // Writes the rows of matrix (any element type) to path as raw bytes,
    // truncating the file; no header. False, with one debug line and why in
    // error, when it cannot be opened or written whole; a partly written file
    // is removed.
    bool abWriteDat(const QString& path, const cv::Mat& matrix, QString* error = nullptr);

    // ---- end of the calibration computation ----

    ImageData();
    ~ImageData() override = default;

    ImageData(const ImageData&) = delete;
    ImageData& operator=(const ImageData&) = delete;
};
