#include "Calibration/report/RunReportHtml.h"

#include "Calibration/report/CoverageSvg.h"
#include "Calibration/report/FailureExplanation.h"

#include <QTextStream>

#include <cmath>

namespace RunReportHtml {

namespace {

using FailureExplanation::cm;
using FailureExplanation::px;

const char kStyle[] = R"(
body{font-family:"DejaVu Sans",Arial,sans-serif;margin:24px 32px;color:#222;max-width:1240px}
h1{font-size:26px;margin:0 0 4px} h2{font-size:21px;margin:28px 0 8px;border-bottom:2px solid #ddd}
h3{font-size:17px;margin:16px 0 6px} .meta{color:#666;font-size:13px}
.verdict{display:flex;gap:18px;align-items:center;padding:14px 18px;border-radius:8px;margin:16px 0}
.verdict .big{font-size:44px;font-weight:bold;letter-spacing:2px}
.ok{background:#e6f4ea;border:2px solid #2e7d32}.ok .big{color:#2e7d32}
.ng{background:#fdecea;border:2px solid #c62828}.ng .big{color:#c62828}
.verdict p{font-size:17px;margin:0}
table{border-collapse:collapse;font-size:14px;margin:6px 0}
td,th{border:1px solid #ccc;padding:3px 6px;text-align:left;vertical-align:top}
th{background:#f2f2f2} table.model{font-size:12px} table.model th{white-space:nowrap} td.num{text-align:right;font-variant-numeric:tabular-nums}
tr.failed td{background:#fdecea} tr.notreached td{color:#999}
.state-passed{color:#2e7d32;font-weight:bold}.state-failed{color:#c62828;font-weight:bold}
.msg{font-size:14px;color:#8b1a1a;margin:4px 0 8px}
.cams{display:flex;flex-wrap:wrap;gap:24px}
.cam{border:1px solid #ddd;border-radius:8px;padding:10px 14px;flex:1 1 480px;min-width:0;
overflow-x:auto}
.legend{font-size:12px;color:#555;margin:4px 0}
.scale{display:inline-block;width:160px;height:10px;vertical-align:middle;
background:linear-gradient(90deg,#2ea043,#e6b400,#d72828)}
.bar{display:inline-block;height:9px;vertical-align:middle}
.drop{color:#8b1a1a;font-family:monospace;font-size:12px}
.small{font-size:13px;color:#555}
)";

QString esc(const QString& s) {
    return s.toHtmlEscaped();
}

QString num(double v, int decimals) {
    return std::isfinite(v) ? QString::number(v, 'f', decimals) : QStringLiteral("&ndash;");
}

QString imageName(int image) {
    if (image < 0) {
        return QStringLiteral("?");
    }
    return QString::number(image % 26 + 1);
}

QString range(const RunReport::Check& c) {
    const int d = c.unit == QLatin1String("px") ? 3 : (c.unit == QLatin1String("cm") ? 2 : 0);
    if (std::isfinite(c.min) && std::isfinite(c.max)) {
        return QStringLiteral("%1 &ndash; %2 %3").arg(num(c.min, d), num(c.max, d), c.unit);
    }
    if (std::isfinite(c.min)) {
        const QString unit =
            c.min == 1 && c.unit == QLatin1String("images") ? QStringLiteral("image") : c.unit;
        return QStringLiteral("at least %1 %2").arg(num(c.min, d), unit);
    }
    if (std::isfinite(c.max)) {
        return QStringLiteral("at most %1 %2").arg(num(c.max, d), c.unit);
    }
    return QStringLiteral("&ndash;");
}

void checksTable(QTextStream& out, const RunReport::Pair& pair) {
    out << "<table><tr><th>check</th><th>measured</th><th>accepted</th><th>result</th></tr>";
    for (const RunReport::Check& c : pair.checks) {
        const int d = c.unit == QLatin1String("px") ? 3 : (c.unit == QLatin1String("cm") ? 2 : 0);
        QString state, cls;
        switch (c.state) {
            case RunReport::Check::State::Passed:
                state = QStringLiteral("<span class=\"state-passed\">&#10004; passed</span>");
                break;
            case RunReport::Check::State::Failed:
                state = QStringLiteral("<span class=\"state-failed\">&#10008; failed</span>");
                cls = QStringLiteral(" class=\"failed\"");
                break;
            case RunReport::Check::State::NotReached:
                state = QStringLiteral("not reached");
                cls = QStringLiteral(" class=\"notreached\"");
                break;
        }
        const QString measured = c.id == QLatin1String("translation")
                                     ? QStringLiteral("&ndash;")
                                     : num(c.measured, d) + QLatin1Char(' ') + c.unit;
        out << "<tr" << cls << "><td>" << esc(c.title) << "</td><td class=\"num\">"
            << (std::isfinite(c.measured) || c.id == QLatin1String("translation")
                    ? measured
                    : QStringLiteral("&ndash;"))
            << "</td><td>" << range(c) << "</td><td>" << state << "</td></tr>";
    }
    out << "</table>";
    out << "<p class=\"" << (pair.stop == PairDiagnostics::Stop::Passed ? "small" : "msg") << "\">"
        << esc(pair.explanation) << "</p>";
}

// Two narrow tables (intrinsics, distortion) so that a camera card fits
// half the page.
void intrinsicsTable(QTextStream& out, const RunReport::Camera& c) {
    auto cell = [&out](bool known, double value, int decimals) {
        out << "<td class=\"num\">" << (known ? num(value, decimals) : QStringLiteral("&ndash;"))
            << "</td>";
    };
    const std::pair<const char*, const cv::Mat*> rows[] = {{"alone", &c.intrinsics},
                                                           {"with the pair", &c.refinedIntrinsics}};
    out << "<table class=\"model\"><tr><th></th><th>fx</th><th>fy</th><th>cx</th><th>cy</th>"
           "</tr>";
    for (const auto& [label, K] : rows) {
        out << "<tr><th>" << label << "</th>";
        const bool known = K->rows == 3 && K->cols == 3;
        for (auto [r, col] : {std::pair{0, 0}, {1, 1}, {0, 2}, {1, 2}}) {
            cell(known, known ? K->at<double>(r, col) : 0.0, 2);
        }
        out << "</tr>";
    }
    out << "</table><table class=\"model\"><tr><th></th><th>k1</th><th>k2</th><th>p1</th>"
           "<th>p2</th><th>k3</th></tr>";
    const std::pair<const char*, const cv::Mat*> dists[] = {
        {"alone", &c.distortion}, {"with the pair", &c.refinedDistortion}};
    for (const auto& [label, dist] : dists) {
        out << "<tr><th>" << label << "</th>";
        const bool known = dist->total() == 5;
        for (int i = 0; i < 5; ++i) {
            cell(known, known ? dist->at<double>(i) : 0.0, 4);
        }
        out << "</tr>";
    }
    out << "</table>";
}

void cameraCard(QTextStream& out, const RunReport::Camera& c, double maxRms) {
    int dropped = 0;
    int points = 0;
    for (const RunReport::Image& i : c.images) {
        dropped += i.ordered ? 0 : 1;
        points += i.ordered ? i.points : 0;
    }
    out << "<div class=\"cam\"><h3>" << esc(c.name) << " camera</h3>";
    out << "<p>" << c.received << " images received, <b>" << c.ordered << " ordered</b>, "
        << dropped << " dropped"
        << (c.ordered > 0 ? QStringLiteral("; %1 points per ordered image on average")
                                .arg(points / std::max(c.ordered, 1))
                          : QString())
        << ". Reprojection error (RMS): <b>"
        << (std::isfinite(c.rms) ? px(c.rms) + QStringLiteral(" px")
                                 : QStringLiteral("not computed"))
        << "</b> (limit " << px(maxRms) << " px).</p>";
    if (c.circlesSent > 0) {
        out << "<p>Circles used: <b>" << c.circlesUsed << " of " << c.circlesSent
            << "</b> the drone detected ("
            << QString::number(100.0 * c.circlesUsed / c.circlesSent, 'f', 1)
            << " %); the twelve next to the marks of each image never are, as the white rings "
               "around the marks cut into them.</p>";
    }
    if (!c.worstViews.empty()) {
        QStringList worst;
        for (int w : c.worstViews) {
            const RunReport::View& v = c.views[static_cast<size_t>(w)];
            worst << QStringLiteral("image %1 (%2 px)").arg(imageName(v.image), px(v.rms));
        }
        out << "<p class=\"small\">Largest errors: " << worst.join(QStringLiteral(", ")) << ".</p>";
    }
    // A camera the run never got to calibrate has no picture and no model.
    const bool calibrated = c.calibrated || !c.views.empty();
    if (calibrated) {
        out << CoverageSvg::render(c);
        out << "<div class=\"legend\">Every point the camera was calibrated from, where it lay "
               "in the image, coloured by how far the calibrated camera model misses it: "
               "<span class=\"scale\"></span> 0 &rarr; 0.5 &rarr; 1 px or more. Grey rings: "
               "circles the drone detected that were not used. Dashed outlines: the images "
               "with the largest error.</div>";
    } else {
        out << "<p class=\"small\">Not calibrated in this run.</p>";
    }

    bool anyDropped = false;
    for (const RunReport::Image& i : c.images) {
        if (!i.ordered) {
            if (!anyDropped) {
                out << "<p><b>Dropped images</b> (the ordering stage that gave up):</p><ul>";
                anyDropped = true;
            }
            out << "<li>image " << imageName(i.image) << " (" << i.centres
                << " circles sent): <span class=\"drop\">"
                << esc(i.dropStage.isEmpty() ? QStringLiteral("no stage named")
                                             : i.dropStage + QStringLiteral(": ") + i.dropDetail)
                << "</span></li>";
        }
    }
    if (anyDropped) {
        out << "</ul>";
    }

    out << "<details><summary>Every image</summary><table><tr><th>image</th><th>circles "
           "sent</th><th>points ordered</th><th>error (RMS)</th></tr>";
    for (const RunReport::Image& i : c.images) {
        const double w = std::isfinite(i.viewRms) ? std::min(i.viewRms / 1.0, 1.0) * 120.0 : 0.0;
        out << "<tr><td>" << imageName(i.image) << "</td><td class=\"num\">" << i.centres
            << "</td><td class=\"num\">"
            << (i.ordered ? QString::number(i.points) : QStringLiteral("dropped")) << "</td><td>"
            << num(i.viewRms, 3)
            << " px <span class=\"bar\" style=\"width:" << QString::number(w, 'f', 0)
            << "px;background:" << CoverageSvg::residualColour(i.viewRms) << "\"></span></td></tr>";
    }
    out << "</table></details>";
    if (calibrated) {
        out << "<p class=\"small\">Camera model, calibrated alone and refined with the other "
               "camera of the pair (focal lengths and centre in pixels; lens distortion k1, k2, "
               "p1, p2, k3):</p>";
        intrinsicsTable(out, c);
    }
    out << "</div>";
}

}  // namespace

QString render(const RunReport::Report& report) {
    QString html;
    QTextStream out(&html);
    out << "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<title>Calibration report "
        << (report.succeeded ? "OK" : "NG") << "</title><style>" << kStyle
        << "</style></head><body>";
    out << "<h1>NimbraDesktop calibration report</h1><div class=\"meta\">"
        << (report.source == QLatin1String("replay") ? "Replay of a recorded run" : "Live run")
        << ", " << esc(report.generated.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")))
        << (report.record.isEmpty() ? QString()
                                    : QStringLiteral(" &middot; record ") + esc(report.record))
        << "</div>";
    out << "<div class=\"verdict " << (report.succeeded ? "ok" : "ng") << "\"><div class=\"big\">"
        << (report.succeeded ? "OK" : "NG") << "</div><p>" << esc(report.explanation)
        << "</p></div>";

    out << "<h2>Checks</h2><p class=\"small\">The calibration checks each camera pair in this "
           "order and stops at the first check that fails; the downward pair is calibrated only "
           "when the forward pair passed.</p>";
    for (const RunReport::Pair& p : report.pairs) {
        out << "<h3>" << esc(p.name) << " pair"
            << (std::isfinite(p.stereoRms)
                    ? QStringLiteral(" &middot; stereo RMS %1 px &middot; %2 images ordered by "
                                     "both cameras")
                          .arg(px(p.stereoRms))
                          .arg(p.stereoViews)
                    : QString())
            << "</h3>";
        checksTable(out, p);
    }

    for (const RunReport::Pair& p : report.pairs) {
        out << "<h2>" << esc(p.name) << " cameras</h2><div class=\"cams\">";
        cameraCard(out, p.left, p.maxRmsPx);
        cameraCard(out, p.right, p.maxRmsPx);
        out << "</div>";
    }

    out << "<h2>Depth-unit maps</h2>";
    if (report.maps.empty()) {
        out << "<p>No map was written in this run.</p>";
    } else {
        out << "<p class=\"small\">The drone's depth unit stores each pixel's source position "
               "in 1/32 pixel. Each written map was decoded again and compared with the "
               "calibration's exact map, over the pixels whose source lies inside the "
               "image.</p><table><tr><th>map</th><th>size</th><th>pixels compared</th>"
               "<th>median difference</th><th>largest difference</th></tr>";
        for (const RunReport::Map& m : report.maps) {
            out << "<tr><td>" << esc(m.file) << "</td><td>" << m.width << " &times; " << m.height
                << "</td>";
            if (m.compared) {
                out << "<td class=\"num\">" << m.insidePixels << "</td><td class=\"num\">"
                    << num(m.medianErrorPx, 4) << " px</td><td class=\"num\">"
                    << num(m.maxErrorPx, 4) << " px</td>";
            } else {
                out << "<td colspan=\"3\">not compared: " << esc(m.error) << "</td>";
            }
            out << "</tr>";
        }
        out << "</table>";
    }

    out << "<h2>Board</h2><p class=\"small\">Circle radius " << report.board.radiusPx
        << " px on a screen " << num(report.board.screenWidthMm, 1) << " mm ("
        << report.board.screenWidthPx << " px) wide: one lattice step is "
        << num(report.board.latticeUnitCm, 4)
        << " cm. All distances of the calibration follow from this step.</p>";
    out << "</body></html>\n";
    return html;
}

}  // namespace RunReportHtml
