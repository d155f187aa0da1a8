#include "Calibration/report/RunReportBuilder.h"

#include "Calibration/CMyCalculationPicThread.h"
#include "Calibration/report/FailureExplanation.h"
#include "Calibration/ImageData.h"
#include "Calibration/report/MapQuantisation.h"

#include <opencv2/calib3d.hpp>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

using TaskRecord = CalibrationRun::ImageRecord;

// Reprojects every view with the camera's single-camera result; fills each
// view's residuals and RMS (as cv::calibrateCamera's per-view errors).
void reproject(RunReport::Camera& camera, const CameraDiagnostics& diag) {
    const size_t n = diag.imagePoints.size();
    const bool posesKnown = diag.calibrated && diag.rvecs.size() == n && diag.tvecs.size() == n &&
                            diag.boardPoints.size() == n;
    for (size_t v = 0; v < n; ++v) {
        RunReport::View view;
        view.points = diag.imagePoints[v];
        if (posesKnown && diag.boardPoints[v].size() == view.points.size() &&
            !view.points.empty()) {
            std::vector<cv::Point2f> projected;
            cv::projectPoints(diag.boardPoints[v], diag.rvecs[v], diag.tvecs[v], diag.intrinsics,
                              diag.distortion, projected);
            double sum = 0.0;
            for (size_t i = 0; i < projected.size(); ++i) {
                const cv::Point2f d = projected[i] - view.points[i];
                const double sq = static_cast<double>(d.x) * d.x + static_cast<double>(d.y) * d.y;
                view.residuals.push_back(static_cast<float>(std::sqrt(sq)));
                sum += sq;
            }
            view.rms = std::sqrt(sum / static_cast<double>(projected.size()));
        }
        camera.views.push_back(std::move(view));
    }
}

RunReport::Camera buildCamera(const QString& key, const QString& name, int firstImage,
                              int cameraCode, cv::Size imageSize, const CameraDiagnostics& diag,
                              const std::vector<TaskRecord>& tasks) {
    RunReport::Camera c;
    c.key = key;
    c.name = name;
    c.imageSize = imageSize;
    for (const TaskRecord& t : tasks) {
        if (t.camera != cameraCode || t.imageIndex < firstImage ||
            t.imageIndex >= firstImage + ImageData::kSlotsPerPair) {
            continue;
        }
        RunReport::Image image;
        image.image = t.imageIndex;
        image.slot = t.imageIndex - firstImage;
        image.centres = t.centres;
        image.ordered = t.stored;
        image.points = t.points;
        image.dropStage = t.dropStage;
        image.dropDetail = t.dropDetail;
        image.unusedPoints = t.unusedPoints;
        c.circlesSent += t.centres;
        c.images.push_back(image);
    }
    std::stable_sort(
        c.images.begin(), c.images.end(),
        [](const RunReport::Image& a, const RunReport::Image& b) { return a.image < b.image; });
    c.received = static_cast<int>(c.images.size());
    c.calibrated = diag.calibrated;
    c.rms = diag.rms;
    c.intrinsics = diag.intrinsics;
    c.distortion = diag.distortion;
    c.refinedIntrinsics = diag.refinedIntrinsics;
    c.refinedDistortion = diag.refinedDistortion;
    reproject(c, diag);
    for (const RunReport::View& view : c.views) {
        c.circlesUsed += static_cast<int>(view.points.size());
    }

    // The calibration's views are the slots whose last store held points, in
    // slot order (how the store compacts them). Match them up only when the
    // counts agree; otherwise the views stay unnamed.
    std::vector<RunReport::Image*> lastStored(ImageData::kSlotsPerPair, nullptr);
    for (RunReport::Image& image : c.images) {
        if (image.ordered) {
            lastStored[static_cast<size_t>(image.slot)] = &image;
        }
    }
    std::vector<RunReport::Image*> used;
    for (RunReport::Image* image : lastStored) {
        if (image && image->points > 0) {
            used.push_back(image);
        }
    }
    c.ordered = static_cast<int>(used.size());
    if (used.size() == c.views.size()) {
        for (size_t v = 0; v < used.size(); ++v) {
            c.views[v].image = used[v]->image;
            used[v]->viewRms = c.views[v].rms;
        }
    }

    std::vector<int> order(c.views.size());
    std::iota(order.begin(), order.end(), 0);
    order.erase(std::remove_if(order.begin(), order.end(),
                               [&c](int v) { return !std::isfinite(c.views[v].rms); }),
                order.end());
    std::stable_sort(order.begin(), order.end(),
                     [&c](int a, int b) { return c.views[a].rms > c.views[b].rms; });
    order.resize(std::min<size_t>(order.size(), RunReportBuilder::kWorstViews));
    c.worstViews = order;
    return c;
}

RunReport::Pair buildPair(bool forward, const PairDiagnostics& diag,
                          const std::vector<TaskRecord>& tasks) {
    RunReport::Pair p;
    p.key = forward ? QStringLiteral("forward") : QStringLiteral("downward");
    p.name = p.key;
    const cv::Size size = diag.imageSize.area() > 0 ? diag.imageSize
                          : forward                 ? cv::Size(480, 640)
                                                    : cv::Size(640, 480);
    const int first = forward ? 0 : ImageData::kSlotsPerPair;
    p.left = buildCamera(p.key + QStringLiteral("Left"), p.name + QStringLiteral(" left"), first, 1,
                         size, diag.left, tasks);
    p.right = buildCamera(p.key + QStringLiteral("Right"), p.name + QStringLiteral(" right"), first,
                          2, size, diag.right, tasks);
    p.stop = diag.stop;
    p.opencvError = diag.opencvError;
    p.outputError = diag.outputError;
    p.stereoViews = diag.stereoViews;
    p.stereoRms = diag.stereoRms;
    p.baselineCm = diag.baselineCm;
    // Ranges of a pair that never ran are still worth showing.
    p.minBaselineCm =
        diag.stop == PairDiagnostics::Stop::NotRun ? (forward ? 5.7 : 3.7) : diag.minBaselineCm;
    p.maxBaselineCm =
        diag.stop == PairDiagnostics::Stop::NotRun ? (forward ? 6.1 : 4.1) : diag.maxBaselineCm;
    p.maxRmsPx = diag.stop == PairDiagnostics::Stop::NotRun ? 0.5 : diag.maxRmsPx;
    p.R = diag.R;
    p.T = diag.T;
    return p;
}

}  // namespace

RunReport::Report RunReportBuilder::build(const CalibrationRun& run, const RunOutcome& outcome,
                                          const RunReport::Board& board, const QString& source,
                                          const QString& record) {
    Input input;
    input.store = &run.store();
    input.outcome = outcome;
    input.tasks = run.imageRecords();
    input.board = board;
    input.source = source;
    input.record = record;
    return build(input);
}

RunReport::Report RunReportBuilder::build(const Input& input) {
    RunReport::Report report;
    const ImageData& store = *input.store;
    report.source = input.source;
    report.record = input.record;
    report.generated = QDateTime::currentDateTime();
    report.outcome = input.outcome;
    report.succeeded = input.outcome.passed();
    report.board = input.board;
    CMyCalculationPicThread::ScreenMetrics screen;
    screen.widthMm = static_cast<float>(input.board.screenWidthMm);
    screen.widthPx = static_cast<float>(input.board.screenWidthPx);
    report.board.latticeUnitCm =
        CMyCalculationPicThread::gridUnitCm(static_cast<float>(input.board.radiusPx), screen);

    report.pairs.push_back(buildPair(true, store.m_diagnostics.forward, input.tasks));
    report.pairs.push_back(buildPair(false, store.m_diagnostics.downward, input.tasks));
    const bool forwardFailed = store.m_diagnostics.forward.stop != PairDiagnostics::Stop::Passed &&
                               store.m_diagnostics.forward.stop != PairDiagnostics::Stop::NotRun;
    FailureExplanation::explainPair(report.pairs[0], report.board, false);
    FailureExplanation::explainPair(report.pairs[1], report.board, forwardFailed);

    const struct {
        bool forward;
        const QString& raw;
        const QString& dpu;
    } maps[] = {{true, store.m_strFrontLeftMap, store.m_strFrontLeftDpuMap},
                {true, store.m_strFrontRightMap, store.m_strFrontRightDpuMap},
                {false, store.m_strDownLeftMap, store.m_strDownLeftDpuMap},
                {false, store.m_strDownRightMap, store.m_strDownRightDpuMap}};
    for (const auto& m : maps) {
        const RunReport::Pair& pair = report.pairs[m.forward ? 0 : 1];
        if (pair.stop == PairDiagnostics::Stop::Passed) {
            report.maps.push_back(MapQuantisation::compare(m.raw, m.dpu, pair.left.imageSize.width,
                                                           pair.left.imageSize.height));
        }
    }

    report.explanation = FailureExplanation::explainRun(report);
    return report;
}
