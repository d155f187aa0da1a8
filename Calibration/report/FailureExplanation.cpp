#include "Calibration/report/FailureExplanation.h"

#include <algorithm>
#include <cmath>

namespace FailureExplanation {

using RunReport::Check;
using Stop = PairDiagnostics::Stop;

QString cm(double value) {
    return std::isfinite(value) ? QString::number(value, 'f', 2) : QStringLiteral("n/a");
}

QString px(double value) {
    return std::isfinite(value) ? QString::number(value, 'f', 3) : QStringLiteral("n/a");
}

namespace {

// Position of a stop in the order of the checks; the checks before it passed.
int stopRank(Stop stop) {
    switch (stop) {
        case Stop::NotRun:
            return -1;
        case Stop::OpenCvRefused:
            return 0;
        case Stop::NoStereoViews:
            return 1;
        case Stop::TranslationEmpty:
            return 2;
        case Stop::BaselineOutOfRange:
            return 3;
        case Stop::RmsTooHigh:
            return 4;
        case Stop::OutputFailed:
            return 5;
        case Stop::Passed:
            return 6;
    }
    return -1;
}

Check makeCheck(const QString& id, const QString& title, int rank, const RunReport::Pair& pair) {
    Check c;
    c.id = id;
    c.title = title;
    const int reached = stopRank(pair.stop);
    if (reached < 0 || rank > reached) {
        c.state = Check::State::NotReached;
    } else if (rank == reached && pair.stop != Stop::Passed) {
        c.state = Check::State::Failed;
    } else {
        c.state = Check::State::Passed;
    }
    return c;
}

QString imagesMessage(const RunReport::Pair& pair) {
    const RunReport::Camera* camera = !pair.left.calibrated    ? &pair.left
                                      : !pair.right.calibrated ? &pair.right
                                                               : nullptr;
    if (camera) {
        return QStringLiteral(
                   "OpenCV could not calibrate the %1 camera from the %2 of 26 images it "
                   "ordered (%3). Capture this pair again, keeping the whole board in view "
                   "of both cameras.")
            .arg(camera->name)
            .arg(camera->ordered)
            .arg(pair.opencvError);
    }
    return QStringLiteral("OpenCV could not calibrate the two %1 cameras together (%2).")
        .arg(pair.name, pair.opencvError);
}

QString rmsMessage(const RunReport::Pair& pair) {
    QStringList high;
    const std::pair<QString, double> values[] = {
        {pair.left.name + QStringLiteral(" camera"), pair.left.rms},
        {pair.right.name + QStringLiteral(" camera"), pair.right.rms},
        {pair.name + QStringLiteral(" pair together"), pair.stereoRms}};
    for (const auto& [name, value] : values) {
        if (!(value <= pair.maxRmsPx)) {
            high << QStringLiteral("%1 %2 px").arg(name, px(value));
        }
    }
    return QStringLiteral(
               "The calibration is not precise enough: reprojection error %1; at most %2 px "
               "is accepted. Blurred images, or images in which the board is seen very flat "
               "or far away, raise this error; the worst images are marked in the pictures.")
        .arg(high.join(QStringLiteral(", ")), px(pair.maxRmsPx));
}

}  // namespace

void explainPair(RunReport::Pair& pair, const RunReport::Board& board, bool forwardFailed) {
    pair.checks.clear();
    pair.failedCheck.clear();

    Check images =
        makeCheck(QStringLiteral("images"),
                  QStringLiteral("each camera calibrated from its ordered images"), 0, pair);
    images.measured = std::min(pair.left.ordered, pair.right.ordered);
    images.min = 1;
    images.unit = QStringLiteral("images");
    if (images.state == Check::State::Failed) {
        images.message = imagesMessage(pair);
    }

    Check stereo = makeCheck(QStringLiteral("stereoViews"),
                             QStringLiteral("images ordered by both cameras"), 1, pair);
    stereo.measured = pair.stereoViews;
    stereo.min = 1;
    stereo.unit = QStringLiteral("images");
    if (stereo.state == Check::State::Failed) {
        stereo.message = QStringLiteral(
                             "No image was ordered by both %1 cameras with board circles in "
                             "common (left camera %2, right camera %3 of 26 images ordered), so "
                             "the two cameras cannot be calibrated together.")
                             .arg(pair.name)
                             .arg(pair.left.ordered)
                             .arg(pair.right.ordered);
    }

    Check translation = makeCheck(QStringLiteral("translation"),
                                  QStringLiteral("offset between the cameras computed"), 2, pair);
    if (translation.state == Check::State::Failed) {
        translation.message =
            QStringLiteral("The stereo calibration gave no offset between the two cameras.");
    }

    Check baseline = makeCheck(QStringLiteral("baseline"),
                               QStringLiteral("distance between the cameras (baseline)"), 3, pair);
    baseline.measured = pair.baselineCm;
    baseline.min = pair.minBaselineCm;
    baseline.max = pair.maxBaselineCm;
    baseline.unit = QStringLiteral("cm");
    if (baseline.state == Check::State::Failed) {
        baseline.message =
            QStringLiteral(
                "The board size seen by the drone does not match this screen: baseline %1 cm, "
                "expected %2-%3 cm. The board is drawn from the screen's reported width "
                "(%4 mm for %5 px); a wrong width, a scaled display or the board shown on "
                "another screen makes every distance wrong by the same factor.")
                .arg(cm(pair.baselineCm), cm(pair.minBaselineCm), cm(pair.maxBaselineCm))
                .arg(board.screenWidthMm, 0, 'f', 1)
                .arg(board.screenWidthPx);
    }

    Check rms =
        makeCheck(QStringLiteral("rms"), QStringLiteral("reprojection error (RMS)"), 4, pair);
    double worst = std::nan("");
    for (double v : {pair.left.rms, pair.right.rms, pair.stereoRms}) {
        if (std::isfinite(v) && !(worst >= v)) {
            worst = v;
        }
    }
    rms.measured = worst;
    rms.max = pair.maxRmsPx;
    rms.unit = QStringLiteral("px");
    if (rms.state == Check::State::Failed) {
        rms.message = rmsMessage(pair);
    }

    Check outputs = makeCheck(QStringLiteral("outputs"),
                              QStringLiteral("calibration log and maps written"), 5, pair);
    if (outputs.state == Check::State::Failed) {
        outputs.message =
            QStringLiteral(
                "The %1 pair passed every check, but its calibration could not be saved (%2). "
                "Make room on the disk or make the folder writable, then calibrate again.")
                .arg(pair.name, pair.outputError);
    }

    pair.checks = {images, stereo, translation, baseline, rms, outputs};
    // A check that was never made has no measured value, whatever the
    // numbers hold.
    for (Check& c : pair.checks) {
        if (c.state == Check::State::NotReached) {
            c.measured = std::nan("");
        }
    }
    for (const Check& c : pair.checks) {
        if (c.state == Check::State::Failed) {
            pair.failedCheck = c.id;
            pair.explanation = c.message;
        }
    }
    if (pair.stop == Stop::Passed) {
        pair.explanation =
            QStringLiteral(
                "The %1 pair is calibrated: baseline %2 cm (accepted %3-%4 cm), reprojection "
                "error at most %5 px (limit %6 px).")
                .arg(pair.name, cm(pair.baselineCm), cm(pair.minBaselineCm), cm(pair.maxBaselineCm),
                     px(worst), px(pair.maxRmsPx));
    } else if (pair.stop == Stop::NotRun) {
        pair.explanation =
            forwardFailed
                ? QStringLiteral("The %1 pair was not calibrated because the forward pair failed.")
                      .arg(pair.name)
                : QStringLiteral("The %1 pair was not calibrated: the calibration never started.")
                      .arg(pair.name);
    }
}

QString explainRun(const RunReport::Report& report) {
    if (report.succeeded) {
        return QStringLiteral(
            "Result OK: both camera pairs passed every check and their depth-unit maps were "
            "written.");
    }
    for (const RunReport::Pair& pair : report.pairs) {
        if (!pair.failedCheck.isEmpty()) {
            return QStringLiteral("Result NG: %1").arg(pair.explanation);
        }
    }
    QString message = report.outcome.message;
    if (message.isEmpty()) {
        return QStringLiteral("Result NG: the calibration did not finish.");
    }
    message[0] = message[0].toUpper();
    return QStringLiteral("Result NG: %1.").arg(message);
}

}  // namespace FailureExplanation
