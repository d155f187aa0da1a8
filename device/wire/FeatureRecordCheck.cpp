#include "device/wire/FeatureRecordCheck.h"

#include <algorithm>
#include <cmath>

QString FeatureRecordCheck::rejection(const FeatureData& data) {
    const bool pairKnown = data.view == 4 || data.view == 5;
    const bool cameraKnown = data.view1 == 1 || data.view1 == 2;
    if (!pairKnown || !cameraKnown || data.points.empty()) {
        return QStringLiteral("view %1 view1 %2 points %3")
            .arg(data.view)
            .arg(data.view1)
            .arg(data.points.size());
    }
    if (data.index >= kImagesPerCamera) {
        return QStringLiteral("image index %1 outside 0..%2")
            .arg(data.index)
            .arg(kImagesPerCamera - 1);
    }
    const int repeated = repeatedCentres(data.points);
    if (repeated > kMaxRepeatedCentres) {
        return QStringLiteral("%1 of %2 centres repeat the place of another")
            .arg(repeated)
            .arg(data.points.size());
    }
    return QString();
}

int FeatureRecordCheck::repeatedCentres(const std::vector<cv::Point2f>& centres) {
    // Sorted by x, the centres that can share a place with one lie in a short
    // run after it: n log n, not n^2, for the longest packets.
    std::vector<cv::Point2f> sorted;
    sorted.reserve(centres.size());
    for (const cv::Point2f& p : centres) {
        if (std::isfinite(p.x) && std::isfinite(p.y)) {
            sorted.push_back(p);
        }
    }
    std::sort(sorted.begin(), sorted.end(),
              [](const cv::Point2f& a, const cv::Point2f& b) { return a.x < b.x; });
    int repeated = 0;
    for (size_t i = 1; i < sorted.size(); ++i) {
        for (size_t j = i; j-- > 0 && sorted[i].x - sorted[j].x < kSamePlacePx;) {
            if (std::fabs(sorted[i].y - sorted[j].y) < kSamePlacePx) {
                ++repeated;
                break;
            }
        }
    }
    return repeated;
}
