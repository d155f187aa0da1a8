#include "tests/support/TestMain.h"

#include "Calibration/CMyCalculationPicThread.h"
#include "Calibration/ImageData.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace {

using Points = std::vector<cv::Point2f>;
using Task = CMyCalculationPicThread;

const Task::ScreenMetrics kScreen{344.0f, 1440.0f};

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
