#pragma once

#include <QByteArray>
#include <QString>

#include <limits>
#include <vector>

// The part of a run's report.json (docs/run-report.md) that the result pages
// show: the outcome, the failed check with its measured value and accepted
// range, and each pair's quality. A key that is missing or of the wrong type
// reads as unknown (NaN, -1 or empty), never as a number it did not hold.
struct RunReportSummary {
    static constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();

    struct Camera {
        QString key;  // "forwardLeft", "forwardRight", "downwardLeft", "downwardRight"
        int received = -1;
        int ordered = -1;
        int circlesSent = -1;  // circle centres the drone found, all images
    };

    struct Pair {
        QString key;  // "forward", "downward"
        bool calibrated = false;
        double stereoRmsPx = kUnknown;
        double baselineCm = kUnknown;
        double minBaselineCm = kUnknown;
        double maxBaselineCm = kUnknown;
        double rmsLimitPx = kUnknown;
        QString outputError;  // the log or map file that could not be written
        Camera left, right;
    };

    // The report's `failure`, with the numbers of its check.
    struct Failure {
        QString pair;     // "forward", "downward"; empty for a reason outside the pairs
        QString check;    // a pair's check ("images", "baseline", ...) or a run's
                          // reason ("lastImage", "timeout", "connection", "maps", "upload")
        QString message;  // the report's own sentence (English)
        double measured = kUnknown;
        double min = kUnknown;
        double max = kUnknown;
        QString unit;
    };

    bool readable = false;
    QString error;   // why it is not readable
    QString folder;  // the run folder the report came from
    bool succeeded = false;
    QString explanation;  // the report's outcome in words (English)
    bool hasFailure = false;
    Failure failure;
    std::vector<Pair> pairs;  // in report order: forward, downward
    double screenWidthMm = kUnknown;
    int screenWidthPx = 0;

    // report.json of a run folder; readable false, with error, when the file
    // is missing, not JSON, or not a run report.
    static RunReportSummary read(const QString& folder);
    static RunReportSummary fromJson(const QByteArray& json);

    // The pair named key ("forward", "downward"); null when the report has none.
    const Pair* pair(const QString& key) const;
    QString htmlPath() const;
};
