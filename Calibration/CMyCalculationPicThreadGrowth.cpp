// Ordering of CMyCalculationPicThread for views whose traced lines were
// rejected: the board grown from the mark circles alone.

#include "Calibration/CMyCalculationPicThread.h"

#include "Calibration/LatticeFit.h"

#include <QDebug>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace {

// Lattice positions of the marks, in the order of the mark indices.
const std::array<cv::Point, 3> kMarkPositions = {{{11, 12}, {15, 12}, {12, 7}}};
// How far (lattice steps, each way) from a mark the marks alone are trusted
// to predict a circle.
constexpr int kSeedReach = 2;
// How far (share of its length) the step between two marks may differ from
// what the lattice directions make of it.
constexpr double kDirectionTolerance = 0.35;
// Every circle the growth places, and every check of the result, rests on a
// fit that predicts its position no worse than this (LatticeFit::leverage):
// growing outwards, the placed neighbours of a position lie to one side of
// it, and a fit through a thin strip of them can miss it by a whole step.
constexpr double kMaxLeverage = 2.5;
constexpr int kColumns = 27;
constexpr int kRows = 20;

bool onBoard(cv::Point p) {
    return p.x >= 0 && p.x < kColumns && p.y >= 0 && p.y < kRows && (p.x + p.y) % 2 == 1;
}

double distance(cv::Point2d a, cv::Point2f b) {
    return std::hypot(a.x - static_cast<double>(b.x), a.y - static_cast<double>(b.y));
}

}  // namespace

bool CMyCalculationPicThread::growFromMarks(const LatticeDirections& directions,
                                            std::vector<size_t>& indices,
                                            std::vector<cv::Point>& grid,
                                            size_t detectedCount) const {
    indices.clear();
    grid.clear();
    const size_t n = std::min(detectedCount, m_vecCentres.size());
    std::vector<char> isMark(n, 0);
    std::vector<LatticeFit::Neighbour> marks;
    std::vector<size_t> markIndex;
    for (size_t m = 0; m < kMarkPositions.size() && m < m_vecMarkIdx.size(); ++m) {
        const size_t index = m_vecMarkIdx[m];
        if (index == 0) {
            continue;
        }
        if (index >= n || isMark[index]) {
            marks.clear();
            break;
        }
        isMark[index] = 1;
        marks.push_back({kMarkPositions[m], m_vecCentres[index]});
        markIndex.push_back(index);
    }
    if (marks.size() < 2) {
        qDebug() << "-------5.marks cannot seed the board--------";
        return false;
    }

    // The lattice directions say how the lattice runs everywhere in the
    // view, a pair of marks how it runs between them; they must agree, which
    // a mark given the label of another (the board read turned round, say)
    // does not.
    const cv::Matx22d steps(directions.row.x / 2.0, directions.column.x / 2.0,
                            directions.row.y / 2.0, directions.column.y / 2.0);
    for (size_t a = 0; a < marks.size(); ++a) {
        for (size_t b = a + 1; b < marks.size(); ++b) {
            const cv::Point d = marks[b].offset - marks[a].offset;
            const cv::Vec2d expected = steps * cv::Vec2d(d.x, d.y);
            const cv::Vec2d seen(marks[b].point.x - marks[a].point.x,
                                 marks[b].point.y - marks[a].point.y);
            if (!(cv::norm(seen - expected) <= kDirectionTolerance * cv::norm(expected))) {
                qDebug() << "-------5.marks do not agree with the lattice directions--------"
                         << cv::norm(seen - expected) / cv::norm(expected);
                return false;
            }
        }
    }

    // The map from lattice offsets (from the first mark seen) to points:
    // three marks fix it alone; for two, the directions are bent just enough
    // to carry one mark onto the other.
    const cv::Point origin = marks.front().offset;
    LatticeFit::Affine map;
    if (marks.size() == 3) {
        std::vector<LatticeFit::Neighbour> relative = marks;
        for (LatticeFit::Neighbour& m : relative) {
            m.offset -= origin;
        }
        if (!LatticeFit::fit(relative, relative.size(), relative.size(), map)) {
            qDebug() << "-------5.marks do not span the board--------";
            return false;
        }
    } else {
        const cv::Point d = marks[1].offset - origin;
        const cv::Vec2d dd(d.x, d.y);
        const cv::Vec2d seen(marks[1].point.x - marks[0].point.x,
                             marks[1].point.y - marks[0].point.y);
        const cv::Matx22d linear = steps + (seen - steps * dd) * dd.t() * (1.0 / dd.dot(dd));
        map.map = cv::Matx23d(linear(0, 0), linear(0, 1), marks[0].point.x, linear(1, 0),
                              linear(1, 1), marks[0].point.y);
    }
    const cv::Point2d column = map.at({1.0, 0.0}) - map.at({0.0, 0.0});
    const cv::Point2d row = map.at({0.0, 1.0}) - map.at({0.0, 0.0});
    const double ratio = std::hypot(column.x, column.y) / std::hypot(row.x, row.y);
    const double cosine =
        column.dot(row) / (std::hypot(column.x, column.y) * std::hypot(row.x, row.y));
    if (!(map.determinant() > 0.0 && ratio > 0.5 && ratio < 2.0 && std::fabs(cosine) < 0.5)) {
        qDebug() << "-------5.marks do not span the board--------" << ratio << cosine;
        return false;
    }
    for (size_t m = 0; m < marks.size(); ++m) {
        indices.push_back(markIndex[m]);
        grid.push_back(marks[m].offset);
    }

    // Seeds: the circles close to the marks, each the only detected circle
    // near the place the marks predict and well within the completion bound
    // of it. Positions are at least sqrt(2) lattice units apart, so a circle
    // this close to a prediction is no other position's circle.
    const double unit = map.unit();
    const double bound = m_fCompletionBound * unit;
    const double alone = 2.0 * bound;
    for (int y = 0; y < kRows; ++y) {
        for (int x = 0; x < kColumns; ++x) {
            const cv::Point q(x, y);
            const bool nearMark = std::any_of(marks.begin(), marks.end(), [&](const auto& m) {
                return std::abs(q.x - m.offset.x) <= kSeedReach &&
                       std::abs(q.y - m.offset.y) <= kSeedReach;
            });
            if (!nearMark || !onBoard(q) || isRingCutPosition(q) ||
                std::find(kMarkPositions.begin(), kMarkPositions.end(), q) !=
                    kMarkPositions.end()) {
                continue;
            }
            const cv::Point2d predicted = map.at(q - origin);
            size_t found = n;
            size_t near = 0;
            for (size_t i = 0; i < n; ++i) {
                const double d = distance(predicted, m_vecCentres[i]);
                if (d <= alone) {
                    ++near;
                    if (d <= bound) {
                        found = i;
                    }
                }
            }
            if (near == 1 && found < n && !isMark[found]) {
                indices.push_back(found);
                grid.push_back(q);
            }
        }
    }

    const size_t seeded = indices.size();
    completeAssignment(indices, grid, {}, {}, detectedCount, kMaxLeverage);
    if (checkLocalConsistency(indices, grid, kMaxLeverage) == Consistency::Inconsistent) {
        qDebug() << "-------5.board grown from the marks is inconsistent--------";
        indices.clear();
        grid.clear();
        return false;
    }
    if (indices.empty()) {
        qDebug() << "-------5.no circle placed from the marks--------";
        return false;
    }
    qDebug() << "CMyCalculationPicThread: board grown from the marks" << seeded << "seeds"
             << indices.size() << "circles";
    return true;
}
