#include "tests/support/TestMain.h"

#include "Calibration/CMyCalculationPicThread.h"
#include "Calibration/ImageData.h"
#include "tests/support/EquidistantCircle.h"

#include <QRegularExpression>

#include <limits>

namespace {

using Points = std::vector<cv::Point2f>;
using Task = CMyCalculationPicThread;

const Task::ScreenMetrics kScreen{344.0f, 1440.0f};

// A row of `count` circles 40 px apart at y = 100, column 2k + 1 at x = 100 + 40k.
Points straightRow(int count, float y = 100.0f) {
    Points points;
    for (int k = 0; k < count; ++k) {
        points.emplace_back(100.0f + 40.0f * k, y);
    }
    return points;
}

}  // namespace

Q_DECLARE_METATYPE(Points)
Q_DECLARE_METATYPE(std::vector<size_t>)

class TestOrderingStages : public QObject {
    Q_OBJECT

private slots:
    void runEndsWithoutStoringOnUnusableInput_data() {
        QTest::addColumn<Points>("centres");
        QTest::addColumn<std::vector<size_t>>("marks");
        QTest::addColumn<float>("radius");
        QTest::addColumn<QString>("logLine");

        // A staggered patch of 9 x 8 lattice positions, 20 px per step.
        Points patch;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 9; ++x) {
                if ((x + y) % 2 == 1) {
                    patch.emplace_back(100.0f + 20.0f * x, 100.0f + 20.0f * y);
                }
            }
        }
        const std::vector<size_t> marks = {9, 1, 9};
        const auto row = [](const char* name, const Points& centres,
                            const std::vector<size_t>& marks, const char* logLine,
                            float radius = 19.0f) {
            QTest::newRow(name) << centres << marks << radius << QString(logLine);
        };
        row("two centres", {{0, 0}, {20, 20}}, marks,
            "-------1.t_vecSecondNeighbor_diff is empty--------");
        row("straight row", straightRow(13), marks,
            "-------1.t_vecSecondNeighbor_diff is empty--------");
        row("mark index 0", patch, {0, 1, 9}, "-------3.m_vecMarkIdx-------- 0 9");
        row("mark index 2 zero", patch, {9, 1, 0}, "-------3.m_vecMarkIdx-------- 9 0");
        row("mark outside", patch, {9, 1, patch.size()},
            "-------3.m_vecMarkIdx outside the centres--------");
        row("two marks", patch, {9, 1}, "-------3.m_vecMarkIdx-------- only 2 marks");
        Points notFinite = patch;
        notFinite[3].x = std::numeric_limits<float>::quiet_NaN();
        row("not finite", notFinite, marks, "-------0.centre not finite--------");
        row("radius 0", patch, marks, "-------0.grid unit--------", 0.0f);
        row("scattered", {{0, 0}, {20, 20}, {40, 0}, {300, 300}, {330, 290}, {345, 320}}, marks,
            "-------2.t_vecSecondNeighbor_diff_check is empty--------");
        row("too many", Points(Task::kMaxCentres + 1, {1, 1}), marks,
            "-------0.too many centres--------");
        const Points circle = equidistantCircle();
        QCOMPARE(circle.size(), size_t(181));
        row("too many bends", circle, {1, 2, 3}, "-------1.too many bend vectors--------");
        // Found by fuzzing: a cut-off board whose mark indexes point past it;
        // no circle keeps a place once the ring-cut ones go. Runs of the
        // board's lattice (x + y odd, 20 px per step, in row order) with a
        // few stray points between them.
        Points board;
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 27; ++x) {
                if ((x + y) % 2 == 1) {
                    board.emplace_back(40.0f + 20.0f * x, 30.0f + 20.0f * y);
                }
            }
        }
        Points cut;
        const auto run = [&](size_t from, size_t count) {
            cut.insert(cut.end(), board.begin() + from, board.begin() + from + count);
        };
        run(0, 40);
        run(143, 12);
        cut.emplace_back(320.0f, 1.8367099e-40f);
        run(156, 36);
        cut.emplace_back(178.0f, 310.0f);
        run(193, 38);
        cut.emplace_back(120.0f, 1.7397316e-35f);
        cut.emplace_back(0.0f, 128.0f);
        run(232, 38);
        row("only ring-cut circles", cut, {167, 169, 100}, "-------5.no circle placed--------");
    }

    void runEndsWithoutStoringOnUnusableInput() {
        QFETCH(Points, centres);
        QFETCH(std::vector<size_t>, marks);
        QFETCH(float, radius);
        QFETCH(QString, logLine);

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
