#include "tools/dronesim/BoardImage.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace BoardLayout {

std::vector<cv::Point> circles() {
    std::vector<cv::Point> out;
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            if ((column + row) % 2 == 1) {
                out.emplace_back(column, row);
            }
        }
    }
    return out;
}

std::vector<cv::Point> marks() {
    return {{12, 7}, {11, 12}, {15, 12}};
}

cv::Vec3d centreCm(double unitCm) {
    return {13.0 * unitCm, 9.5 * unitCm, 0.0};
}

}  // namespace BoardLayout

namespace {

// Fixed-point drawing: OpenCV takes sub-pixel positions as integers scaled by 2^shift.
constexpr int kShift = 4;
constexpr double kScale = 1 << kShift;

void disc(cv::Mat& canvas, cv::Point2d centre, double radius, unsigned char value) {
    cv::circle(canvas,
               cv::Point(static_cast<int>(std::lround(centre.x * kScale)),
                         static_cast<int>(std::lround(centre.y * kScale))),
               static_cast<int>(std::lround(radius * kScale)), cv::Scalar(value), cv::FILLED,
               cv::LINE_AA, kShift);
}

// Margins of white screen around the board drawing, in lattice steps: a 16:9
// screen holding the 4:3 board area leaves about five steps on either side.
constexpr int kScreenSideSteps = 5;
constexpr int kScreenTopSteps = 1;
// Bezel and room around the screen, in lattice steps.
constexpr int kSurroundSteps = 6;

}  // namespace

BoardImage::BoardImage(int radiusPx, double unitCm)
    : m_radius(std::max(4, radiusPx)), m_unitCm(unitCm > 0 ? unitCm : 1.0) {
    const int step = 2 * m_radius;
    const int screenLeft = kSurroundSteps * step;
    const int screenTop = kSurroundSteps * step;
    const int boardLeft = screenLeft + kScreenSideSteps * step;
    const int boardTop = screenTop + kScreenTopSteps * step;
    const int screenWidth = (BoardLayout::kColumns + 2 * kScreenSideSteps) * step;
    const int screenHeight = (BoardLayout::kRows + 2 * kScreenTopSteps) * step;

    cv::Mat canvas(screenHeight + 2 * screenTop, screenWidth + 2 * screenLeft, CV_8UC1,
                   cv::Scalar(kSurround));
    canvas(cv::Rect(screenLeft, screenTop, screenWidth, screenHeight)).setTo(cv::Scalar(kWhite));

    // The desktop's painter puts the centre of the circle whose bounding square
    // starts at pixel L at L + r in its own coordinates (pixel edges at integers),
    // which is L + r − 0.5 with pixel centres at integers.
    m_originPx = cv::Point2d(boardLeft + m_radius - 0.5, boardTop + m_radius - 0.5);
    draw(canvas);

    m_pyramid.push_back(canvas);
    while (m_pyramid.back().cols > 400 && m_pyramid.size() < 6) {
        cv::Mat smaller;
        cv::pyrDown(m_pyramid.back(), smaller);
        m_pyramid.push_back(smaller);
    }
}

void BoardImage::draw(cv::Mat& canvas) const {
    const double r = m_radius;
    const double step = 2.0 * r;
    auto centreOf = [&](cv::Point lattice) {
        return m_originPx + cv::Point2d(step * lattice.x, step * lattice.y);
    };
    // The default one-pixel pen adds half a pixel around every filled ellipse.
    for (const cv::Point& lattice : BoardLayout::circles()) {
        disc(canvas, centreOf(lattice), r + 0.5, kBlack);
    }
    for (const cv::Point& mark : BoardLayout::marks()) {
        disc(canvas, centreOf(mark), 2.0 * r + 5.0 + 0.5, kWhite);
    }
    for (const cv::Point& mark : BoardLayout::marks()) {
        // Bounding square left trunc(L − 0.75r), side trunc(3.5r): its centre is
        // not exactly the mark's centre when r is not a multiple of 4. L − 0.75r is
        // positive on any real screen, so the truncation rounds down.
        const double left = std::floor(-0.75 * r);
        const double side = std::trunc(3.5 * r);
        const cv::Point2d squareCorner = centreOf(mark) - cv::Point2d(r, r);
        const cv::Point2d centre = squareCorner + cv::Point2d(left + side / 2, left + side / 2);
        disc(canvas, centre, side / 2 + 0.5, kWhite);
        disc(canvas, centre, side / 2 - 0.5, kBlack);
    }
}

cv::Point2d BoardImage::pixelOf(double xCm, double yCm, int levelIndex) const {
    const double scale = pixelsPerCm();
    const cv::Point2d level0 = m_originPx + cv::Point2d(xCm * scale, yCm * scale);
    const double factor = std::ldexp(1.0, -levelIndex);
    return {level0.x * factor, level0.y * factor};
}
