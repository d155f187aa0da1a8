#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QVector>

// Finds flat-coloured areas (buttons, badges, progress bars) in a screenshot.
// A region is a 4-connected set of pixels each within `tolerance` (per 8-bit
// channel, inclusive) of the wanted colour; anti-aliased edges and the text
// drawn on a button are not part of it, so a button's region is a frame around
// its text whose bounding box is the button's rectangle.
class ColourRegionFinder {
public:
    struct Region {
        QRect box;       // bounding box, screen pixels
        int pixels = 0;  // pixels in the region
    };

    explicit ColourRegionFinder(const QImage& image);

    // Every region of the colour with at least minPixels pixels, in scan order
    // of their first pixel. An image without such pixels gives an empty list.
    QVector<Region> regions(QRgb colour, int tolerance = 3, int minPixels = 20) const;

    // The region with the most pixels whose bounding box is at least minSize
    // and at most maxSize in both directions; a null QRect when there is none.
    QRect largestBox(QRgb colour, QSize minSize, QSize maxSize, int tolerance = 3) const;

private:
    QImage m_image;  // Format_RGB32
};
