#pragma once

#include "Calibration/CalibrationDiagnostics.h"
#include "Calibration/RunOutcome.h"

#include <QDateTime>
#include <QString>

#include <opencv2/core.hpp>

#include <vector>

// The run report's content: why a run ended as it did, per camera and pair,
// in numbers and in words. Built by RunReportBuilder, written as JSON and HTML.
// Pixels are image pixels, lengths centimetres; NaN marks a value the run
// never computed.
namespace RunReport {

// One image one camera received (one ordering task).
struct Image {
    int image = -1;   // global image number 0..51
    int slot = -1;    // 0..25 within its pair
    int centres = 0;  // circle centres the drone sent
    bool ordered = false;
    int points = 0;     // ordered points stored
    QString dropStage;  // the stage that dropped it (CMyCalculationPicThread::stageName, "run")
    QString dropDetail;                                // ... and why, in words
    double viewRms = CameraDiagnostics::kNotComputed;  // pixels, when calibrated from
    std::vector<cv::Point2f> unusedPoints;  // image pixels of the sent circles not stored
};

// One view the camera was calibrated from, with every point's residual.
struct View {
    int image = -1;  // global image number, -1 when it cannot be told
    double rms = CameraDiagnostics::kNotComputed;
    std::vector<cv::Point2f> points;  // image pixels
    std::vector<float> residuals;     // pixels, one per point
};

struct Camera {
    QString key;   // "forwardLeft" …
    QString name;  // "forward left" …
    cv::Size imageSize;
    int received = 0;
    int ordered = 0;
    int circlesSent = 0;        // circle centres the drone sent, over all images
    int circlesUsed = 0;        // of them, the points the camera was calibrated from
    std::vector<Image> images;  // by image number
    bool calibrated = false;
    double rms = CameraDiagnostics::kNotComputed;
    cv::Mat intrinsics, distortion;                // single-camera calibration
    cv::Mat refinedIntrinsics, refinedDistortion;  // after the stereo calibration
    std::vector<View> views;
    std::vector<int> worstViews;  // indexes into views, worst first
};

struct Check {
    enum class State { Passed, Failed, NotReached };
    QString id;  // "images", "stereoViews", "translation", "baseline", "rms"
    QString title;
    State state = State::NotReached;
    double measured = CameraDiagnostics::kNotComputed;
    double min = CameraDiagnostics::kNotComputed;  // accepted range (NaN: open)
    double max = CameraDiagnostics::kNotComputed;
    QString unit;
    QString message;  // for a failed check, in words a user understands
};

struct Pair {
    QString key;  // "forward", "downward"
    QString name;
    PairDiagnostics::Stop stop = PairDiagnostics::Stop::NotRun;
    QString opencvError;
    QString outputError;  // the log or map file that could not be written, and why
    int stereoViews = 0;
    double stereoRms = CameraDiagnostics::kNotComputed;
    double baselineCm = CameraDiagnostics::kNotComputed;
    double minBaselineCm = 0.0, maxBaselineCm = 0.0, maxRmsPx = 0.0;
    cv::Mat R, T;
    Camera left, right;
    std::vector<Check> checks;
    QString failedCheck;  // id, empty when none failed
    QString explanation;  // one sentence
};

// A written depth-unit map decoded and compared with its float map.
struct Map {
    QString file;  // depth-unit map file name
    int width = 0, height = 0;
    bool compared = false;
    QString error;            // why it was not compared
    qint64 insidePixels = 0;  // pixels whose source lies inside the image
    double medianErrorPx = CameraDiagnostics::kNotComputed;
    double maxErrorPx = CameraDiagnostics::kNotComputed;
};

struct Board {
    int radiusPx = 0;
    double screenWidthMm = 0.0;
    int screenWidthPx = 0;
    double latticeUnitCm = 0.0;
};

struct Report {
    QString source;  // "live" or "replay"
    QString record;  // path of the run record, when known
    QDateTime generated;
    bool succeeded = false;
    RunOutcome outcome;   // how the run ended; a pair's failed check gives the details
    QString explanation;  // the run's outcome in one or two sentences
    Board board;
    std::vector<Pair> pairs;  // forward, downward
    std::vector<Map> maps;
};

}  // namespace RunReport
