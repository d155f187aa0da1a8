#include "tools/autodrive/ColourRegionFinder.h"

#include <cstdlib>
#include <vector>

ColourRegionFinder::ColourRegionFinder(const QImage& image)
    : m_image(image.convertToFormat(QImage::Format_RGB32)) {}

QVector<ColourRegionFinder::Region> ColourRegionFinder::regions(QRgb colour, int tolerance,
                                                                int minPixels) const {
    const int w = m_image.width();
    const int h = m_image.height();
    auto matches = [&](QRgb p) {
        return std::abs(qRed(p) - qRed(colour)) <= tolerance &&
               std::abs(qGreen(p) - qGreen(colour)) <= tolerance &&
               std::abs(qBlue(p) - qBlue(colour)) <= tolerance;
    };
    // One byte per pixel: 0 = not yet looked at or not matching, 1 = taken.
    std::vector<unsigned char> seen(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    std::vector<int> stack;
    QVector<Region> found;
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(m_image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const size_t start = static_cast<size_t>(y) * w + x;
            if (seen[start] || !matches(row[x])) {
                continue;
            }
            Region region;
            int left = x, right = x, top = y, bottom = y;
            seen[start] = 1;
            stack.assign(1, static_cast<int>(start));
            while (!stack.empty()) {
                const int at = stack.back();
                stack.pop_back();
                const int px = at % w;
                const int py = at / w;
                ++region.pixels;
                left = std::min(left, px);
                right = std::max(right, px);
                top = std::min(top, py);
                bottom = std::max(bottom, py);
                const int nx[4] = {px - 1, px + 1, px, px};
                const int ny[4] = {py, py, py - 1, py + 1};
                for (int k = 0; k < 4; ++k) {
                    if (nx[k] < 0 || ny[k] < 0 || nx[k] >= w || ny[k] >= h) {
                        continue;
                    }
                    const size_t n = static_cast<size_t>(ny[k]) * w + nx[k];
                    if (seen[n]) {
                        continue;
                    }
                    const auto* nrow = reinterpret_cast<const QRgb*>(m_image.constScanLine(ny[k]));
                    if (matches(nrow[nx[k]])) {
                        seen[n] = 1;
                        stack.push_back(static_cast<int>(n));
                    }
                }
            }
            if (region.pixels >= minPixels) {
                region.box = QRect(QPoint(left, top), QPoint(right, bottom));
                found.append(region);
            }
        }
    }
    return found;
}

QRect ColourRegionFinder::largestBox(QRgb colour, QSize minSize, QSize maxSize,
                                     int tolerance) const {
    QRect best;
    int bestPixels = 0;
    for (const Region& r : regions(colour, tolerance)) {
        const QSize s = r.box.size();
        if (s.width() < minSize.width() || s.height() < minSize.height() ||
            s.width() > maxSize.width() || s.height() > maxSize.height()) {
            continue;
        }
        if (r.pixels > bestPixels) {
            best = r.box;
            bestPixels = r.pixels;
        }
    }
    return best;
}
