#include "Calibration/report/RunReportJson.h"

#include <QJsonArray>

#include <cmath>

namespace RunReportJson {

namespace {

QJsonValue number(double v) {
    return std::isfinite(v) ? QJsonValue(v) : QJsonValue(QJsonValue::Null);
}

QJsonValue matrix(const cv::Mat& m) {
    if (m.empty()) {
        return QJsonValue(QJsonValue::Null);
    }
    cv::Mat d;
    m.convertTo(d, CV_64F);
    QJsonArray rows;
    for (int r = 0; r < d.rows; ++r) {
        QJsonArray row;
        for (int c = 0; c < d.cols; ++c) {
            row.append(number(d.at<double>(r, c)));
        }
        rows.append(d.cols == 1 ? row.first() : QJsonValue(row));
    }
    return rows;
}

QJsonValue intrinsics(const cv::Mat& K) {
    if (K.rows != 3 || K.cols != 3) {
        return QJsonValue(QJsonValue::Null);
    }
    cv::Mat d;
    K.convertTo(d, CV_64F);
    return QJsonObject{{"fx", number(d.at<double>(0, 0))},
                       {"fy", number(d.at<double>(1, 1))},
                       {"cx", number(d.at<double>(0, 2))},
                       {"cy", number(d.at<double>(1, 2))}};
}

QString stateName(RunReport::Check::State s) {
    switch (s) {
        case RunReport::Check::State::Passed:
            return QStringLiteral("passed");
        case RunReport::Check::State::Failed:
            return QStringLiteral("failed");
        case RunReport::Check::State::NotReached:
            break;
    }
    return QStringLiteral("not reached");
}

QJsonObject camera(const RunReport::Camera& c) {
    QJsonArray images, dropped;
    for (const RunReport::Image& i : c.images) {
        QJsonObject o{{"image", i.image},
                      {"slot", i.slot},
                      {"centres", i.centres},
                      {"ordered", i.ordered},
                      {"points", i.points},
                      {"viewRms", number(i.viewRms)},
                      {"unusedCircles", static_cast<int>(i.unusedPoints.size())}};
        if (!i.ordered) {
            o.insert("droppedBy", i.dropStage);
            o.insert("dropDetail", i.dropDetail);
            dropped.append(
                QJsonObject{{"image", i.image}, {"stage", i.dropStage}, {"detail", i.dropDetail}});
        }
        images.append(o);
    }
    QJsonArray views, worst;
    for (const RunReport::View& v : c.views) {
        views.append(QJsonObject{{"image", v.image},
                                 {"points", static_cast<int>(v.points.size())},
                                 {"rms", number(v.rms)}});
    }
    for (int w : c.worstViews) {
        worst.append(c.views[static_cast<size_t>(w)].image);
    }
    return QJsonObject{{"camera", c.key},
                       {"name", c.name},
                       {"imageSize", QJsonArray{c.imageSize.width, c.imageSize.height}},
                       {"imagesReceived", c.received},
                       {"imagesOrdered", c.ordered},
                       {"circlesSent", c.circlesSent},
                       {"circlesUsed", c.circlesUsed},
                       {"imagesDropped", dropped},
                       {"images", images},
                       {"calibrated", c.calibrated},
                       {"rms", number(c.rms)},
                       {"views", views},
                       {"worstViews", worst},
                       {"intrinsics", intrinsics(c.intrinsics)},
                       {"distortion", matrix(c.distortion)},
                       {"refinedIntrinsics", intrinsics(c.refinedIntrinsics)},
                       {"refinedDistortion", matrix(c.refinedDistortion)}};
}

QJsonObject pair(const RunReport::Pair& p) {
    QJsonArray checks;
    for (const RunReport::Check& c : p.checks) {
        QJsonObject o{{"check", c.id},
                      {"title", c.title},
                      {"state", stateName(c.state)},
                      {"measured", number(c.measured)},
                      {"min", number(c.min)},
                      {"max", number(c.max)},
                      {"unit", c.unit}};
        if (!c.message.isEmpty()) {
            o.insert("message", c.message);
        }
        checks.append(o);
    }
    return QJsonObject{{"pair", p.key},
                       {"calibrated", p.stop == PairDiagnostics::Stop::Passed},
                       {"failedCheck", p.failedCheck.isEmpty() ? QJsonValue(QJsonValue::Null)
                                                               : QJsonValue(p.failedCheck)},
                       {"explanation", p.explanation},
                       {"stereoViews", p.stereoViews},
                       {"stereoRms", number(p.stereoRms)},
                       {"baselineCm", number(p.baselineCm)},
                       {"baselineRangeCm", QJsonArray{p.minBaselineCm, p.maxBaselineCm}},
                       {"rmsLimitPx", p.maxRmsPx},
                       {"opencvError", p.opencvError.isEmpty() ? QJsonValue(QJsonValue::Null)
                                                               : QJsonValue(p.opencvError)},
                       {"outputError", p.outputError.isEmpty() ? QJsonValue(QJsonValue::Null)
                                                               : QJsonValue(p.outputError)},
                       {"R", matrix(p.R)},
                       {"T", matrix(p.T)},
                       {"checks", checks},
                       {"cameras", QJsonArray{camera(p.left), camera(p.right)}}};
}

}  // namespace

QJsonObject toJson(const RunReport::Report& report) {
    QJsonArray pairs, maps;
    QJsonValue failure(QJsonValue::Null);
    for (const RunReport::Pair& p : report.pairs) {
        pairs.append(pair(p));
        if (failure.isNull() && !p.failedCheck.isEmpty()) {
            failure =
                QJsonObject{{"pair", p.key}, {"check", p.failedCheck}, {"message", p.explanation}};
        }
    }
    // A run can fail outside every pair's checks: the last image missing,
    // the connection lost, a map or the upload failing.
    if (failure.isNull() && !report.succeeded) {
        failure = QJsonObject{{"pair", QJsonValue(QJsonValue::Null)},
                              {"check", RunOutcome::reasonId(report.outcome.reason)},
                              {"message", report.outcome.message}};
    }
    for (const RunReport::Map& m : report.maps) {
        QJsonObject o{{"file", m.file},
                      {"width", m.width},
                      {"height", m.height},
                      {"compared", m.compared},
                      {"insidePixels", static_cast<double>(m.insidePixels)},
                      {"medianErrorPx", number(m.medianErrorPx)},
                      {"maxErrorPx", number(m.maxErrorPx)}};
        if (!m.error.isEmpty()) {
            o.insert("error", m.error);
        }
        maps.append(o);
    }
    return QJsonObject{
        {"format", "nimbra-run-report"},
        {"version", 1},
        {"source", report.source},
        {"record", report.record},
        {"generated", report.generated.toString(Qt::ISODate)},
        {"result", report.succeeded ? "OK" : "NG"},
        {"explanation", report.explanation},
        {"failure", failure},
        {"board", QJsonObject{{"radiusPx", report.board.radiusPx},
                              {"screenWidthMm", report.board.screenWidthMm},
                              {"screenWidthPx", report.board.screenWidthPx},
                              {"latticeUnitCm", number(report.board.latticeUnitCm)}}},
        {"pairs", pairs},
        {"maps", maps}};
}

}  // namespace RunReportJson
