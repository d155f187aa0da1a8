#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include <opencv2/core.hpp>

// Local affine model of the circle lattice in the sent frame, fitted to
// circles whose lattice positions are known. Shared by the ordering's
// consistency check and its completion step.
namespace LatticeFit {

// Lattice offsets of the circles around a circle that a local fit uses: the
// diagonal neighbours, the next circle along the row and the column, and the
// diagonal ones two steps away.
extern const std::array<cv::Point, 12> kWindow;

// A placed circle: its lattice offset from the position being modelled
// (columns, rows) and its point (sent-frame pixels).
struct Neighbour {
    cv::Point offset;
    cv::Point2f point;
};

// point = map * (offset.x, offset.y, 1).
struct Affine {
    cv::Matx23d map = cv::Matx23d::zeros();

    // Sent-frame point of a lattice offset.
    cv::Point2d at(cv::Point2d offset) const;
    // Lattice offset of a sent-frame point; the fit must not be degenerate.
    cv::Point2d offsetOf(cv::Point2d point) const;
    // Determinant of the linear part: positive when the lattice keeps the
    // sent frame's orientation (columns to the right, rows down).
    double determinant() const;
    // Pixels per lattice step: the root of the determinant's magnitude.
    double unit() const;
};

// Least-squares fit over the neighbours except `skip` (pass
// neighbours.size() to use all). False when fewer than `minimum` neighbours
// remain or their offsets are collinear.
bool fit(const std::vector<Neighbour>& neighbours, size_t skip, size_t minimum, Affine& affine);

// Variance of the fitted point at offset (0, 0), in units of the variance of
// one neighbour's point: 1 / count for neighbours all round the position,
// growing fast as they shrink to one side of it. It bounds how far noise
// and the bending that an affine model ignores are carried into the
// prediction. Infinity when the fit is not possible (see fit).
double leverage(const std::vector<Neighbour>& neighbours, size_t skip);

}  // namespace LatticeFit
