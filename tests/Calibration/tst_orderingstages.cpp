#include "tests/support/TestMain.h"

#include "Calibration/CMyCalculationPicThread.h"
#include "Calibration/ImageData.h"

#include <QRegularExpression>

#include <cstring>
#include <random>
#include <set>

namespace {

using Points = std::vector<cv::Point2f>;
using Task = CMyCalculationPicThread;

const Task::ScreenMetrics kScreen{344.0f, 1440.0f};

void start(Task& task, const Points& centres, std::vector<size_t> marks = {1, 2, 3}, int index = 0,
           int camera = 1) {
    task.setRadius(19.0f);
    task.startTask(static_cast<unsigned long>(index), static_cast<unsigned long>(camera), centres,
                   marks, cv::Mat::eye(3, 3, CV_64F), kScreen);
}

// The edges of the relative-neighbourhood graph by its definition, testing
// every third point.
std::set<std::pair<size_t, size_t>> bruteForceEdges(const Points& p) {
    auto d = [&](size_t a, size_t b) {
        const double dx = double(p[a].x) - double(p[b].x);
        const double dy = double(p[a].y) - double(p[b].y);
        return std::sqrt(dx * dx + dy * dy);
    };
    std::set<std::pair<size_t, size_t>> edges;
    for (size_t i = 0; i < p.size(); ++i) {
        for (size_t j = i + 1; j < p.size(); ++j) {
            bool blocked = false;
            for (size_t k = 0; k < p.size() && !blocked; ++k) {
                blocked = k != i && k != j && d(i, j) > d(i, k) && d(i, j) > d(j, k);
            }
            if (!blocked) {
                edges.insert({i, j});
            }
        }
    }
    return edges;
}

std::set<std::pair<size_t, size_t>> edgesOf(const CMyGraph& graph) {
    std::set<std::pair<size_t, size_t>> edges;
    for (unsigned long i = 0; i < graph.getVerticesCount(); ++i) {
        for (unsigned long j : graph.getNeighbors(i)) {
            if (i < j) {
                edges.insert({i, j});
            }
        }
    }
    return edges;
}

// A row of `count` circles 40 px apart at y = 100, column 2k + 1 at x = 100 + 40k.
Points row(int count, float y = 100.0f) {
    Points points;
    for (int k = 0; k < count; ++k) {
        points.emplace_back(100.0f + 40.0f * k, y);
    }
    return points;
}

}  // namespace

class TestOrderingStages : public QObject {
    Q_OBJECT

private slots:
    void neighbourhoodGraphKeepsTiesAndDropsBlockedPairs() {
        Task task(0, QString());
        // Square: the sides tie with the blocker candidates and stay; the
        // diagonals are blocked by both other corners.
        start(task, {{0, 0}, {10, 0}, {0, 10}, {10, 10}});
        QCOMPARE(edgesOf(task.findCirclesNeighbor()),
                 (std::set<std::pair<size_t, size_t>>{{0, 1}, {0, 2}, {1, 3}, {2, 3}}));

        // Isosceles: the long sides tie with the third side's ends and stay.
        start(task, {{0, 0}, {10, 0}, {5, 12}});
        QCOMPARE(edgesOf(task.findCirclesNeighbor()).size(), size_t(3));

        // Collinear: the middle point blocks the long pair.
        start(task, {{0, 0}, {10, 0}, {20, 0}});
        QCOMPARE(edgesOf(task.findCirclesNeighbor()),
                 (std::set<std::pair<size_t, size_t>>{{0, 1}, {1, 2}}));
    }

    void neighbourhoodGraphMatchesItsDefinition() {
        std::mt19937 rng(7);
        std::uniform_real_distribution<float> coordinate(0.0f, 200.0f);
        std::uniform_int_distribution<int> grid(0, 12);
        for (int round = 0; round < 20; ++round) {
            Points points;
            for (int i = 0; i < 60; ++i) {
                // Half the rounds on a coarse grid, where equal distances abound.
                if (round % 2) {
                    points.emplace_back(10.0f * grid(rng), 10.0f * grid(rng));
                } else {
                    points.emplace_back(coordinate(rng), coordinate(rng));
                }
            }
            Task task(0, QString());
            start(task, points);
            QCOMPARE(edgesOf(task.findCirclesNeighbor()), bruteForceEdges(points));
        }
    }

    void bendVectorsComeFromBentTwoStepPaths() {
        Task task(0, QString());
        start(task, row(13));
        QVERIFY(task.findSecondNeighbor_diff(task.findCirclesNeighbor()).empty());

        start(task, {{0, 0}, {10, 10}});
        QVERIFY(task.findSecondNeighbor_diff(task.findCirclesNeighbor()).empty());

        start(task, {{0, 0}, {10, 10}, {20, 0}});
        QCOMPARE(task.findSecondNeighbor_diff(task.findCirclesNeighbor()),
                 (Points{{-20, 0}, {20, 0}}));

        // Diamond: each far pair has two common neighbours and is listed twice.
        start(task, {{0, 0}, {10, 10}, {10, -10}, {20, 0}});
        QCOMPARE(
            task.findSecondNeighbor_diff(task.findCirclesNeighbor()),
            (Points{{-20, 0}, {20, 0}, {-20, 0}, {20, 0}, {0, 20}, {0, -20}, {0, 20}, {0, -20}}));

        // A bend below the 5 px minimum is straight enough.
        start(task, {{0, 0}, {10, 1}, {20, 0}});
        QVERIFY(task.findSecondNeighbor_diff(task.findCirclesNeighbor()).empty());
    }

    void densityFilterUsesAHalfOpenBox() {
        Task task(0, QString());
        start(task, row(3));
        Points vectors(9, {40, 0});
        vectors.push_back(
            {32, 0});  // inside the box of (40, 0), which does not hold (40, 0) for it
        vectors.push_back({0, 40});  // isolated
        QCOMPARE(task.checkSecondCirclesNeighbor_diff(vectors), Points(9, {40, 0}));

        Points upper(9, {40, 0});
        upper.push_back({48, 0});  // outside the box of (40, 0); its own box holds all ten
        QCOMPARE(task.checkSecondCirclesNeighbor_diff(upper), (Points{{48, 0}}));
    }

    void latticeDirectionsFromClusters() {
        Task task(0, QString());
        start(task, row(3));
        Points vectors;
        std::mt19937 rng(3);
        std::normal_distribution<float> jitter(0.0f, 0.5f);
        const Points steps = {{40, 2}, {-40, -2}, {-1, 39}, {1, -39}};
        for (int i = 0; i < 40; ++i) {
            for (const cv::Point2f& s : steps) {
                vectors.emplace_back(s.x + jitter(rng), s.y + jitter(rng));
            }
        }
        Task::LatticeDirections directions;
        QCOMPARE(task.findSecondCirclesNeighbor_Idx(vectors, directions),
                 Task::DirectionStatus::Found);
        QVERIFY(cv::norm(directions.row - cv::Point2f(40, 2)) < 0.5);
        QVERIFY(cv::norm(directions.column - cv::Point2f(-1, 39)) < 0.5);

        // Independent of the state the pool thread's generator was left in.
        cv::theRNG().next();
        Task::LatticeDirections again;
        task.findSecondCirclesNeighbor_Idx(vectors, again);
        QCOMPARE(again.row, directions.row);
        QCOMPARE(again.column, directions.column);

        QCOMPARE(task.findSecondCirclesNeighbor_Idx({{40, 0}, {0, 40}, {-40, 0}}, directions),
                 Task::DirectionStatus::TooFewVectors);

        // Only the row direction: the two positive clusters are both along x.
        Points rowOnly;
        for (int i = 0; i < 40; ++i) {
            rowOnly.emplace_back(40.0f + 4.0f * (i % 2), 0.0f);
            rowOnly.emplace_back(-40.0f - 4.0f * (i % 2), 0.0f);
        }
        QCOMPARE(task.findSecondCirclesNeighbor_Idx(rowOnly, directions),
                 Task::DirectionStatus::Skewed);

        Points tight;
        for (int i = 0; i < 40; ++i) {
            tight.emplace_back(40.0f + 0.5f * (i % 2), 0.0f);
            tight.emplace_back(-40.0f - 0.5f * (i % 2), 0.0f);
        }
        QCOMPARE(task.findSecondCirclesNeighbor_Idx(tight, directions),
                 Task::DirectionStatus::TooClose);
    }

    void matchBoundaryAndTies() {
        Task task(0, QString());
        Task::TracedLine line;
        start(task, {{100, 100}, {152, 100}});
        QCOMPARE(task.addPoint({140, 100}, {11, 12}, line, {40, 0}, 2), size_t(1));
        QCOMPARE(line.foundGrid, (std::vector<cv::Point>{{13, 12}}));

        start(task, {{100, 100}, {152.01f, 100}});
        line = Task::TracedLine();
        QCOMPARE(task.addPoint({140, 100}, {11, 12}, line, {40, 0}, 2), size_t(2));
        QCOMPARE(task.centres().size(), size_t(3));
        QCOMPARE(task.centres()[2], cv::Point2f(140, 100));
        QVERIFY(line.foundIdx.empty());
        QCOMPARE(line.allGrid, (std::vector<cv::Point>{{13, 12}}));

        // Equally near: the lower index wins, whichever comes first in space.
        start(task, {{100, 100}, {140, 110}, {140, 90}});
        line = Task::TracedLine();
        QCOMPARE(task.addPoint({140, 100}, {11, 12}, line, {40, 0}, 3), size_t(1));

        // A column offset moves two rows, up or down.
        line = Task::TracedLine();
        task.addPoint({140, 100}, {11, 12}, line, {3, -40}, 3);
        task.addPoint({140, 100}, {11, 12}, line, {-3, 40}, 3);
        QCOMPARE(line.allGrid, (std::vector<cv::Point>{{11, 10}, {11, 14}}));

        // Index 1 plays a virtual point (detected count 1) near the prediction:
        // matched, never found.
        start(task, {{100, 100}, {141, 100}});
        line = Task::TracedLine();
        QCOMPARE(task.addPoint({140, 100}, {11, 12}, line, {40, 0}, 1), size_t(1));
        QCOMPARE(line.allIdx, std::vector<size_t>{1});
        QVERIFY(line.foundIdx.empty());
        QVERIFY(line.foundGrid.empty());
    }

    void markRowWalksOverAGapAndPastTheEdge() {
        Task task(0, QString());
        Points points = row(13);           // columns 1..25 of row 12; the mark (11, 12) is index 5
        points.erase(points.begin() + 7);  // column 15 not detected
        start(task, points);
        const size_t n = points.size();
        const Task::TracedLine line = task.findMarkPath(5, {11, 12}, {40, 0}, 0, n);

        std::vector<cv::Point> columns;
        for (int x = 1; x <= 25; x += 2) {
            columns.emplace_back(x, 12);
        }
        QCOMPARE(line.allGrid, columns);
        QCOMPARE(line.allIdx[7], n);  // the gap became the first virtual point
        QCOMPARE(task.centres()[n], cv::Point2f(380, 100));
        QCOMPARE(line.allIdx[8], size_t(7));  // the circle behind the gap, column 17
        QCOMPARE(line.foundIdx.size(), size_t(12));
        std::vector<cv::Point> found = columns;
        found.erase(found.begin() + 7);
        QCOMPARE(line.foundGrid, found);

        // Variant 1 walks one step further: past the edge, virtual only.
        start(task, row(13));
        const Task::TracedLine longer = task.findMarkPath(5, {11, 12}, {40, 0}, 1, 13);
        QCOMPARE(longer.allGrid.size(), size_t(14));
        QCOMPARE(longer.allGrid.back(), cv::Point(27, 12));
        QCOMPARE(longer.allIdx.back(), size_t(13));
        QCOMPARE(longer.foundIdx.size(), size_t(13));
    }

    void tracingGrowsLinesWithoutCircles() {
        Task task(0, QString());
        Points points = row(13);
        const Points below = row(13, 140.0f);  // row 14, shifted by one column
        for (const cv::Point2f& p : below) {
            points.emplace_back(p.x + 20.0f, p.y);
        }
        start(task, points);
        // Lattice directions of a board seen straight on, 20 px per step.
        const Task::LatticeDirections directions{{40, 0}, {0, 40}};
        task.findMCS(directions, points.size(), 5, {11, 12}, 0);

        const Task::TracedLines& lines = task.tracedLines();
        QCOMPARE(lines.allIdx.size(), size_t(13));
        QCOMPARE(lines.allGrid.front().front(), cv::Point(1, 0));
        QCOMPARE(lines.allGrid.back().back(), cv::Point(25, 24));
        // Only the mark's row found circles: the row below is offset by half
        // a row step and is 20 px from every prediction.
        QCOMPARE(lines.foundIdx.size(), size_t(1));
        QCOMPARE(lines.foundIdx.front().size(), size_t(13));

        // Row 16, 80 px down, is reached through the virtual row 14 and joins.
        Points twoBelow = row(13);
        for (const cv::Point2f& p : row(13, 180.0f)) {
            twoBelow.push_back(p);
        }
        start(task, twoBelow);
        task.findMCS(directions, twoBelow.size(), 5, {11, 12}, 0);
        QCOMPARE(task.tracedLines().foundIdx.size(), size_t(2));
        QCOMPARE(task.tracedLines().foundGrid.back().front(), cv::Point(1, 16));
    }

    void consistencyCheckCatchesCirclesOffTheirPlace() {
        // Lattice x 0..6, y 0..8 at 20 px per step, and two circles right of
        // it at (8, 5) and (8, 7). Claimed positions are the truth unless a
        // case says otherwise.
        Points points;
        std::vector<cv::Point> truth;
        for (int y = 0; y <= 8; ++y) {
            for (int x = 0; x <= 6; ++x) {
                if ((x + y) % 2 == 1) {
                    points.emplace_back(100.0f + 20.0f * x, 100.0f + 20.0f * y);
                    truth.emplace_back(x, y);
                }
            }
        }
        for (const cv::Point p : {cv::Point(8, 5), cv::Point(8, 7)}) {
            points.emplace_back(100.0f + 20.0f * p.x, 100.0f + 20.0f * p.y);
            truth.push_back(p);
        }
        const size_t right1 = points.size() - 2;
        const size_t right2 = points.size() - 1;
        Task task(0, QString());
        start(task, points);
        std::vector<size_t> indices(points.size());
        for (size_t i = 0; i < indices.size(); ++i) {
            indices[i] = i;
        }

        std::vector<size_t> idx = indices;
        std::vector<cv::Point> grid = truth;
        QCOMPARE(task.checkLocalConsistency(idx, grid), Task::Consistency::Consistent);
        QCOMPARE(grid, truth);

        // One circle claimed one diagonal off.
        grid = truth;
        grid[right1] = {7, 4};
        QCOMPARE(task.checkLocalConsistency(idx, grid), Task::Consistency::Inconsistent);

        // Both right circles claimed one diagonal off alike: each supports the
        // other in a fit over all neighbours.
        grid = truth;
        grid[right1] = {7, 4};
        grid[right2] = {7, 6};
        QCOMPARE(task.checkLocalConsistency(idx, grid), Task::Consistency::Inconsistent);

        // A circle far from any other listed one cannot be checked and goes,
        // and so does (8, 7), left with two neighbours; the rest stays.
        grid = truth;
        grid[right1] = {20, 15};
        idx = indices;
        QCOMPARE(task.checkLocalConsistency(idx, grid), Task::Consistency::DroppedUnverified);
        QCOMPARE(idx, std::vector<size_t>(indices.begin(), indices.end() - 2));
        QCOMPARE(grid, std::vector<cv::Point>(truth.begin(), truth.end() - 2));
    }

    void consistencyCheckFollowsTheLocalScale() {
        // Steps shrinking to half towards the right, as near a strongly
        // distorted image corner, with 0.5 px noise: still consistent.
        std::mt19937 rng(5);
        std::normal_distribution<float> noise(0.0f, 0.5f);
        Points points;
        std::vector<cv::Point> grid;
        for (int y = 0; y <= 10; ++y) {
            for (int x = 0; x <= 20; ++x) {
                if ((x + y) % 2 == 1) {
                    const float scale = 20.0f - 0.5f * x;
                    const float px = 20.0f * x - 0.25f * x * x;
                    points.emplace_back(100.0f + px + noise(rng),
                                        100.0f + scale * (y - 5) + noise(rng));
                    grid.emplace_back(x, y);
                }
            }
        }
        Task task(0, QString());
        start(task, points);
        std::vector<size_t> idx(points.size());
        for (size_t i = 0; i < idx.size(); ++i) {
            idx[i] = i;
        }
        QCOMPARE(task.checkLocalConsistency(idx, grid), Task::Consistency::Consistent);
    }

    void completionPlacesOnlyCirclesItsNeighboursPin() {
        // Columns 0..14, rows 0..13 of the board at 20 px per step, bent as
        // near a distorted corner, with 0.3 px noise. Every circle is placed
        // but the open ones; a few detections that are no circle of their own
        // follow the lattice's.
        std::mt19937 rng(11);
        std::normal_distribution<float> noise(0.0f, 0.3f);
        auto at = [&](cv::Point q) {
            return cv::Point2f(100.0f + 20.0f * q.x - 0.15f * q.x * q.x + noise(rng),
                               100.0f + 20.0f * q.y - 0.1f * q.x * q.y + noise(rng));
        };
        const std::vector<cv::Point> open = {
            {5, 4},  {6, 5},  // next to each other: the second may need the first
            {0, 1},  {1, 0},  // the board's corner
            {0, 3},  {0, 5},  // column 0 of odd rows, which no tracing pass reaches
            {11, 6},          // ring-cut: stays out
            {9, 2},           // detected twice below: stays out
            {12, 3},          // listed by the tracing at (10, 3): stays out
            {13, 2},          // listed by the tracing at its own place: placed
        };
        Points points;
        std::vector<cv::Point> truth;
        std::vector<size_t> indices;
        std::vector<cv::Point> grid;
        for (int y = 0; y <= 13; ++y) {
            for (int x = 0; x <= 14; ++x) {
                const cv::Point q(x, y);
                if ((x + y) % 2 == 0 || q == cv::Point(7, 8)) {  // (7, 8) not detected
                    continue;
                }
                const bool isOpen = std::find(open.begin(), open.end(), q) != open.end();
                if (!isOpen) {
                    indices.push_back(points.size());
                    grid.push_back(q);
                }
                points.push_back(at(q));
                truth.push_back(q);
            }
        }
        auto indexOf = [&](cv::Point q) {
            return static_cast<size_t>(std::find(truth.begin(), truth.end(), q) - truth.begin());
        };
        const cv::Point2f twin = points[indexOf({9, 2})];
        points[indexOf({9, 2})] = twin + cv::Point2f(1.5f, 0.0f);
        points.push_back(twin - cv::Point2f(1.5f, 0.0f));  // the twin
        points.push_back(0.5f *
                         (points[indexOf({3, 4})] + points[indexOf({5, 4})]));  // (4, 4): no circle
        points.push_back(points[indexOf({8, 5})] + cv::Point2f(3.0f, 0.0f));    // (8, 5) again
        points.push_back(at({7, 8}) + cv::Point2f(9.0f, 0.0f));  // nearest (7, 8), not near enough
        const std::vector<size_t> claimedIdx = {indexOf({12, 3}), indexOf({13, 2})};
        const std::vector<cv::Point> claimedGrid = {{10, 3}, {13, 2}};

        Task task(0, QString());
        start(task, points);
        const std::vector<size_t> tracedIdx = indices;
        const std::vector<cv::Point> tracedGrid = grid;
        const size_t added =
            task.completeAssignment(indices, grid, claimedIdx, claimedGrid, points.size());

        // The traced entries stay as they were, first; the rest is right.
        QCOMPARE(std::vector<size_t>(indices.begin(), indices.begin() + tracedIdx.size()),
                 tracedIdx);
        QCOMPARE(std::vector<cv::Point>(grid.begin(), grid.begin() + tracedGrid.size()),
                 tracedGrid);
        std::set<std::pair<int, int>> placed;
        for (size_t e = tracedIdx.size(); e < indices.size(); ++e) {
            QVERIFY(indices[e] < truth.size());
            QCOMPARE(grid[e], truth[indices[e]]);
            placed.insert({grid[e].x, grid[e].y});
        }
        const std::set<std::pair<int, int>> expected = {{5, 4}, {6, 5}, {0, 1}, {1, 0},
                                                        {0, 3}, {0, 5}, {13, 2}};
        QCOMPARE(placed, expected);
        QCOMPARE(added, expected.size());
    }

    void completionKeepsTheBoardsOrientation() {
        // The placed circles around an open one listed mirrored (rows
        // counted upwards): a fit through them is consistent, but turned
        // over, so nothing is placed from it.
        Points points;
        std::vector<size_t> indices;
        std::vector<cv::Point> grid;
        for (int y = 0; y <= 6; ++y) {
            for (int x = 0; x <= 6; ++x) {
                if ((x + y) % 2 == 1) {
                    if (cv::Point(x, y) != cv::Point(3, 4)) {
                        indices.push_back(points.size());
                        grid.emplace_back(x, 6 - y);
                    }
                    points.emplace_back(100.0f + 20.0f * x, 100.0f + 20.0f * y);
                }
            }
        }
        Task task(0, QString());
        start(task, points);
        QCOMPARE(task.completeAssignment(indices, grid, {}, {}, points.size()), size_t(0));
    }

    void resultOfOnlyUncheckableCirclesIsNotStored() {
        // One traced row and nothing around it: no circle has neighbours off
        // its own line, so the check keeps none, and an empty result must
        // end the task cleanly rather than reach the homography.
        Task task(0, QString());
        start(task, row(13), {5, 1, 5});
        task.findMCS({{40, 0}, {0, 40}}, 13, 5, {11, 12}, 0);
        QTest::ignoreMessage(QtDebugMsg, "-------5.no circle placed--------");
        QVERIFY(!task.arrangeSortResult(13));
        QVERIFY(task.sortedImagePoints().empty());
        QVERIFY(task.objectPoints().empty());
    }

    void gridUnitAndRunTrigger() {
        QCOMPARE(Task::gridUnitCm(19.0f, kScreen),
                 19.0f * 4.0f * 0.5f * (344.0f / 1440.0f) / 10.0f);
        QVERIFY(Task::isLastImageOfRun(51, 2));
        QVERIFY(!Task::isLastImageOfRun(51, 1));
        QVERIFY(!Task::isLastImageOfRun(25, 2));
    }

    void runEndsWithoutStoringOnUnusableInput_data() {
        QTest::addColumn<int>("inputCase");
        QTest::addColumn<QString>("logLine");
        QTest::newRow("two centres") << 0 << "-------1.t_vecSecondNeighbor_diff is empty--------";
        QTest::newRow("straight row") << 1 << "-------1.t_vecSecondNeighbor_diff is empty--------";
        QTest::newRow("mark index 0") << 2 << "-------3.m_vecMarkIdx-------- 0 9";
        QTest::newRow("mark index 2 zero") << 3 << "-------3.m_vecMarkIdx-------- 9 0";
        QTest::newRow("mark outside") << 4 << "-------3.m_vecMarkIdx outside the centres--------";
        QTest::newRow("two marks") << 5 << "-------3.m_vecMarkIdx-------- only 2 marks";
        QTest::newRow("not finite") << 6 << "-------0.centre not finite--------";
        QTest::newRow("radius 0") << 7 << "-------0.grid unit--------";
        QTest::newRow("scattered")
            << 8 << "-------2.t_vecSecondNeighbor_diff_check is empty--------";
        QTest::newRow("too many") << 9 << "-------0.too many centres--------";
        // Every point of a circle is exactly as far from its centre: all are
        // the centre's neighbours, and the two-step paths through it grow with
        // the square of their number.
        QTest::newRow("too many bends") << 10 << "-------1.too many bend vectors--------";
        // Found by fuzzing: a cut-off board whose mark indexes point past it;
        // no circle keeps a place once the ring-cut ones go.
        QTest::newRow("only ring-cut circles") << 11 << "-------5.no circle placed--------";
    }

    void runEndsWithoutStoringOnUnusableInput() {
        QFETCH(int, inputCase);
        QFETCH(QString, logLine);

        // A staggered patch of 9 x 8 lattice positions, 20 px per step.
        Points patch;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 9; ++x) {
                if ((x + y) % 2 == 1) {
                    patch.emplace_back(100.0f + 20.0f * x, 100.0f + 20.0f * y);
                }
            }
        }
        Points centres = patch;
        std::vector<size_t> marks = {9, 1, 9};
        float radius = 19.0f;
        switch (inputCase) {
            case 0:
                centres = {{0, 0}, {20, 20}};
                break;
            case 1:
                centres = row(13);
                break;
            case 2:
                marks = {0, 1, 9};
                break;
            case 3:
                marks = {9, 1, 0};
                break;
            case 4:
                marks = {9, 1, patch.size()};
                break;
            case 5:
                marks = {9, 1};
                break;
            case 6:
                centres[3].x = std::numeric_limits<float>::quiet_NaN();
                break;
            case 7:
                radius = 0.0f;
                break;
            case 8:
                centres = {{0, 0}, {20, 20}, {40, 0}, {300, 300}, {330, 290}, {345, 320}};
                break;
            case 9:
                centres.assign(Task::kMaxCentres + 1, {1, 1});
                break;
            case 10: {
                // The 180 lattice points of the circle of radius 5525 around
                // (6000, 6000): integer coordinates, distances exact.
                const int r = 5525;
                centres = {{6000, 6000}};
                for (int x = -r; x <= r; ++x) {
                    const int y =
                        static_cast<int>(std::lround(std::sqrt(double(r) * r - double(x) * x)));
                    if (x * x + y * y == r * r) {
                        centres.emplace_back(6000.0f + x, 6000.0f + y);
                        if (y != 0) {
                            centres.emplace_back(6000.0f + x, 6000.0f - y);
                        }
                    }
                }
                QCOMPARE(centres.size(), size_t(181));
                marks = {1, 2, 3};
                break;
            }
            case 11: {
                // Runs of the board's lattice (x + y odd, 20 px per step, in
                // row order) with a few stray points between them.
                Points board;
                for (int y = 0; y < 20; ++y) {
                    for (int x = 0; x < 27; ++x) {
                        if ((x + y) % 2 == 1) {
                            board.emplace_back(40.0f + 20.0f * x, 30.0f + 20.0f * y);
                        }
                    }
                }
                const auto run = [&](size_t from, size_t count) {
                    centres.insert(centres.end(), board.begin() + from,
                                   board.begin() + from + count);
                };
                centres.clear();
                run(0, 40);
                run(143, 12);
                centres.emplace_back(320.0f, 1.8367099e-40f);
                run(156, 36);
                centres.emplace_back(178.0f, 310.0f);
                run(193, 38);
                centres.emplace_back(120.0f, 1.7397316e-35f);
                centres.emplace_back(0.0f, 128.0f);
                run(232, 38);
                marks = {167, 169, 100};
                break;
            }
        }

        ImageData store;
        store.startRun();
        store.storeSorted(3, 1, {{1, 2}}, {{3, 4, 0}});
        Task task(0, QString());
        task.setStore(&store);
        task.setRadius(radius);
        task.startTask(3, 1, centres, marks, cv::Mat::eye(3, 3, CV_64F), kScreen);
        QTest::ignoreMessage(QtDebugMsg,
                             QRegularExpression("^CMyCalculationPicThread::run 0x[0-9a-f]+$"));
        QTest::ignoreMessage(QtDebugMsg,
                             QRegularExpression("^" + QRegularExpression::escape(logLine)));
        task.run();
        QVERIFY(!task.stored());
        // The slot keeps what it held.
        QCOMPARE(store.m_vecLeftPix_front[3], (ImageData::ImagePoints{{1, 2}}));
        QCOMPARE(store.m_vecWorld_front[3], (ImageData::BoardPoints{{3, 4, 0}}));
    }
};

NIMBRA_CORE_TEST_MAIN(TestOrderingStages)
#include "tst_orderingstages.moc"
