#include "Calibration/report/RunReportSummary.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

double number(const QJsonValue& v) {
    return v.isDouble() ? v.toDouble() : RunReportSummary::kUnknown;
}

int count(const QJsonValue& v) {
    return v.isDouble() ? v.toInt(-1) : -1;
}

RunReportSummary::Camera readCamera(const QJsonValue& v) {
    const QJsonObject o = v.toObject();
    RunReportSummary::Camera c;
    c.key = o.value(QStringLiteral("camera")).toString();
    c.received = count(o.value(QStringLiteral("imagesReceived")));
    c.ordered = count(o.value(QStringLiteral("imagesOrdered")));
    c.circlesSent = count(o.value(QStringLiteral("circlesSent")));
    return c;
}

RunReportSummary::Pair readPair(const QJsonObject& o) {
    RunReportSummary::Pair p;
    p.key = o.value(QStringLiteral("pair")).toString();
    p.calibrated = o.value(QStringLiteral("calibrated")).toBool();
    p.stereoRmsPx = number(o.value(QStringLiteral("stereoRms")));
    p.baselineCm = number(o.value(QStringLiteral("baselineCm")));
    const QJsonArray range = o.value(QStringLiteral("baselineRangeCm")).toArray();
    if (range.size() == 2) {
        p.minBaselineCm = number(range.at(0));
        p.maxBaselineCm = number(range.at(1));
    }
    p.rmsLimitPx = number(o.value(QStringLiteral("rmsLimitPx")));
    p.outputError = o.value(QStringLiteral("outputError")).toString();
    const QJsonArray cameras = o.value(QStringLiteral("cameras")).toArray();
    if (cameras.size() == 2) {
        p.left = readCamera(cameras.at(0));
        p.right = readCamera(cameras.at(1));
    }
    return p;
}

}  // namespace

RunReportSummary RunReportSummary::read(const QString& folder) {
    QFile file(folder + QStringLiteral("/report.json"));
    RunReportSummary summary;
    if (!file.open(QIODevice::ReadOnly)) {
        summary.error = QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
    } else {
        summary = fromJson(file.readAll());
    }
    summary.folder = folder;
    return summary;
}

RunReportSummary RunReportSummary::fromJson(const QByteArray& json) {
    RunReportSummary summary;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    const QJsonObject root = document.object();
    if (parseError.error != QJsonParseError::NoError) {
        summary.error = QStringLiteral("report.json: %1").arg(parseError.errorString());
        return summary;
    }
    if (root.value(QStringLiteral("format")).toString() != QLatin1String("nimbra-run-report")) {
        summary.error = QStringLiteral("report.json is not a run report");
        return summary;
    }
    const QString result = root.value(QStringLiteral("result")).toString();
    if (result != QLatin1String("OK") && result != QLatin1String("NG")) {
        summary.error = QStringLiteral("report.json gives no result");
        return summary;
    }
    summary.readable = true;
    summary.succeeded = result == QLatin1String("OK");
    summary.explanation = root.value(QStringLiteral("explanation")).toString();

    const QJsonObject board = root.value(QStringLiteral("board")).toObject();
    summary.screenWidthMm = number(board.value(QStringLiteral("screenWidthMm")));
    summary.screenWidthPx = qMax(0, count(board.value(QStringLiteral("screenWidthPx"))));

    const QJsonArray pairs = root.value(QStringLiteral("pairs")).toArray();
    for (const QJsonValue& v : pairs) {
        summary.pairs.push_back(readPair(v.toObject()));
    }

    const QJsonObject failure = root.value(QStringLiteral("failure")).toObject();
    summary.hasFailure = !summary.succeeded && !failure.isEmpty();
    if (!summary.hasFailure) {
        return summary;
    }
    Failure& f = summary.failure;
    f.pair = failure.value(QStringLiteral("pair")).toString();
    f.check = failure.value(QStringLiteral("check")).toString();
    f.message = failure.value(QStringLiteral("message")).toString();
    // The failed check's numbers are in its pair's list of checks.
    for (const QJsonValue& v : pairs) {
        const QJsonObject p = v.toObject();
        if (f.pair.isEmpty() || p.value(QStringLiteral("pair")).toString() != f.pair) {
            continue;
        }
        for (const QJsonValue& c : p.value(QStringLiteral("checks")).toArray()) {
            const QJsonObject check = c.toObject();
            if (check.value(QStringLiteral("check")).toString() == f.check) {
                f.measured = number(check.value(QStringLiteral("measured")));
                f.min = number(check.value(QStringLiteral("min")));
                f.max = number(check.value(QStringLiteral("max")));
                f.unit = check.value(QStringLiteral("unit")).toString();
            }
        }
    }
    return summary;
}

const RunReportSummary::Pair* RunReportSummary::pair(const QString& key) const {
    for (const Pair& p : pairs) {
        if (p.key == key) {
            return &p;
        }
    }
    return nullptr;
}

QString RunReportSummary::htmlPath() const {
    return folder + QStringLiteral("/report.html");
}
