#pragma once

#include <opencv2/core.hpp>

#include <vector>

// The calibration board as the desktop draws it on its screen: rows 0..19 of a
// staggered lattice (a circle wherever column + row is odd, columns 0..26), one
// lattice step = 2r screen pixels, three mark circles at (12, 7), (11, 12) and
// (15, 12), each replaced by a white ring of diameter 4r + 10 and a black disc of
// diameter 3.5r with a one-pixel white outline.
namespace BoardLayout {

constexpr int kRows = 20;
constexpr int kColumns = 27;

// Lattice positions (column, row) of every circle, and of the three marks.
std::vector<cv::Point> circles();
std::vector<cv::Point> marks();

// The board centre, lattice point (13, 9.5), in board centimetres.
cv::Vec3d centreCm(double unitCm);

}  // namespace BoardLayout

// The board rendered once, as 8-bit grey levels, on the white screen that
// surrounds it, itself framed by a darker bezel and room. Holds a pyramid of
// halved copies so that a camera that sees the board small can sample a level
// whose pixels are no finer than its own (no aliasing on the circle edges).
class BoardImage {
public:
    static constexpr unsigned char kWhite = 220;
    static constexpr unsigned char kBlack = 28;
    static constexpr unsigned char kSurround = 70;

    // radiusPx: the circle radius the desktop draws (pixels, at least 4);
    // unitCm: one lattice step on the physical screen (centimetres, > 0).
    BoardImage(int radiusPx, double unitCm);

    int radiusPx() const { return m_radius; }
    double unitCm() const { return m_unitCm; }
    int levels() const { return static_cast<int>(m_pyramid.size()); }
    const cv::Mat& level(int index) const { return m_pyramid.at(static_cast<size_t>(index)); }

    // Level-0 pixels per board centimetre.
    double pixelsPerCm() const { return 2.0 * m_radius / m_unitCm; }

    // Continuous pixel position (OpenCV convention: pixel centres at integers) of a
    // board point given in centimetres, on pyramid level `levelIndex`.
    cv::Point2d pixelOf(double xCm, double yCm, int levelIndex) const;

private:
    void draw(cv::Mat& canvas) const;

    int m_radius;
    double m_unitCm;
    cv::Point2d m_originPx;  // level-0 position of lattice circle (0, 0)'s centre
    std::vector<cv::Mat> m_pyramid;
};
