#include "Calibration/report/CoverageSvg.h"

#include <opencv2/imgproc.hpp>

#include <QTextStream>

#include <algorithm>
#include <cmath>

namespace CoverageSvg {

namespace {

QString f1(double v) {
    return QString::number(v, 'f', 1);
}

// Image numbers as the user saw them: 1..26 within the pair.
QString imageLabel(int image) {
    return image < 0 ? QStringLiteral("?") : QString::number(image % 26 + 1);
}

}  // namespace

QString residualColour(double residualPx) {
    struct Rgb {
        double r, g, b;
    };
    const Rgb green{46, 160, 67}, yellow{230, 180, 0}, red{215, 40, 40};
    const double t = std::isfinite(residualPx) ? std::clamp(residualPx, 0.0, 1.0) : 1.0;
    const Rgb& a = t < 0.5 ? green : yellow;
    const Rgb& b = t < 0.5 ? yellow : red;
    const double u = t < 0.5 ? t / 0.5 : (t - 0.5) / 0.5;
    auto mix = [u](double x, double y) { return static_cast<int>(std::lround(x + (y - x) * u)); };
    return QStringLiteral("#%1%2%3")
        .arg(mix(a.r, b.r), 2, 16, QLatin1Char('0'))
        .arg(mix(a.g, b.g), 2, 16, QLatin1Char('0'))
        .arg(mix(a.b, b.b), 2, 16, QLatin1Char('0'));
}

QString render(const RunReport::Camera& camera, int displayPx) {
    const int w = std::max(camera.imageSize.width, 1);
    const int h = std::max(camera.imageSize.height, 1);
    const double scale = static_cast<double>(displayPx) / std::max(w, h);
    QString svg;
    QTextStream out(&svg);
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"coverage\" width=\""
        << std::lround(w * scale) << "\" height=\"" << std::lround(h * scale) << "\" viewBox=\"0 0 "
        << w << ' ' << h << "\" role=\"img\" aria-label=\"points used by the " << camera.name
        << " camera\">";
    out << "<rect x=\"0\" y=\"0\" width=\"" << w << "\" height=\"" << h
        << "\" fill=\"#f7f7f7\" stroke=\"#444\" stroke-width=\"2\"/>";
    if (camera.views.empty()) {
        out << "<text x=\"" << w / 2 << "\" y=\"" << h / 2
            << "\" text-anchor=\"middle\" font-size=\"24\" fill=\"#777\">no image "
               "calibrated</text></svg>";
        return svg;
    }
    for (const RunReport::View& view : camera.views) {
        for (size_t i = 0; i < view.points.size(); ++i) {
            const double r = i < view.residuals.size() ? view.residuals[i] : std::nan("");
            out << "<circle cx=\"" << f1(view.points[i].x) << "\" cy=\"" << f1(view.points[i].y)
                << "\" r=\"2.2\" fill=\"" << residualColour(r) << "\"/>";
        }
    }
    for (const RunReport::Image& image : camera.images) {
        for (const cv::Point2f& p : image.unusedPoints) {
            out << "<circle class=\"unused\" cx=\"" << f1(p.x) << "\" cy=\"" << f1(p.y)
                << "\" r=\"3.2\" fill=\"none\" stroke=\"#6b6b6b\" stroke-width=\"1.3\"/>";
        }
    }
    for (size_t rank = 0; rank < camera.worstViews.size(); ++rank) {
        const RunReport::View& view = camera.views[static_cast<size_t>(camera.worstViews[rank])];
        if (view.points.size() < 3) {
            continue;
        }
        std::vector<cv::Point2f> hull;
        cv::convexHull(view.points, hull);
        out << "<polygon fill=\"none\" stroke=\"#7a1fa2\" stroke-width=\"2.5\" "
               "stroke-dasharray=\"8 5\" points=\"";
        for (const cv::Point2f& p : hull) {
            out << f1(p.x) << ',' << f1(p.y) << ' ';
        }
        out << "\"/>";
        // Labels sit at the top, bottom and left of their outlines so that
        // the three rarely cover one another; kept inside the frame.
        const auto [lowY, highY] = std::minmax_element(
            hull.begin(), hull.end(),
            [](const cv::Point2f& a, const cv::Point2f& b) { return a.y < b.y; });
        const auto leftX =
            std::min_element(hull.begin(), hull.end(),
                             [](const cv::Point2f& a, const cv::Point2f& b) { return a.x < b.x; });
        const cv::Point2f anchor = rank == 0   ? *lowY + cv::Point2f(0, -8)
                                   : rank == 1 ? *highY + cv::Point2f(0, 24)
                                               : *leftX + cv::Point2f(70, 8);
        const double x = std::clamp<double>(anchor.x, 100.0, w - 100.0);
        const double y = std::clamp<double>(anchor.y, 22.0, h - 6.0);
        out << "<text x=\"" << f1(x) << "\" y=\"" << f1(y)
            << "\" text-anchor=\"middle\" font-size=\"19\" font-weight=\"bold\" fill=\"#7a1fa2\" "
               "stroke=\"#fff\" stroke-width=\"4\" paint-order=\"stroke\">image "
            << imageLabel(view.image) << " &#183; " << QString::number(view.rms, 'f', 2)
            << " px</text>";
    }
    out << "</svg>";
    return svg;
}

}  // namespace CoverageSvg
