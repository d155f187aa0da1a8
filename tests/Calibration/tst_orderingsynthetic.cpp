#include "tests/support/TestMain.h"

#include "Calibration/CMyCalculationPicThread.h"
#include "Calibration/ImageData.h"
#include "tests/support/syntheticboard/OrderingCheck.h"
#include "tests/support/syntheticboard/SyntheticBoardView.h"

#include <QStringList>
#include <QThreadPool>

#include <algorithm>
#include <cstring>
#include <map>

namespace {

using Task = CMyCalculationPicThread;

constexpr float kRadius = 19.0f;
constexpr float kScreenMm = 344.0f;
constexpr float kScreenPx = 1440.0f;

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

// Silences the task's log while a batch of views runs.
struct QuietLog {
    QtMessageHandler previous = qInstallMessageHandler(quiet);
    ~QuietLog() { qInstallMessageHandler(previous); }
};

QStringList g_collected;

void collect(QtMsgType, const QMessageLogContext&, const QString& message) {
    g_collected << message;
}

// Keeps the task's log lines while a view runs, instead of printing them.
struct CollectedLog {
    QtMessageHandler previous = (g_collected.clear(), qInstallMessageHandler(collect));
    ~CollectedLog() { qInstallMessageHandler(previous); }
    bool has(const QString& start) const {
        return std::any_of(g_collected.begin(), g_collected.end(),
                           [&](const QString& line) { return line.startsWith(start); });
    }
};

bool sameBits(const cv::Point3f& a, const cv::Point3f& b) {
    return std::memcmp(&a, &b, sizeof(a)) == 0;
}

}  // namespace

class TestOrderingSynthetic : public QObject {
    Q_OBJECT

    const OrderingCheck m_check{kRadius, kScreenMm, kScreenPx};
    const SyntheticBoardView m_board{SyntheticCamera::downward(), m_check.gridUnitCm()};

    // A run that ends unstored logs its start, `line` (a text or a pattern) and its end.
    template <typename Line>
    static void expectUnstoredRun(const Line& line) {
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^CMyCalculationPicThread::run "));
        QTest::ignoreMessage(QtDebugMsg, line);
        QTest::ignoreMessage(QtDebugMsg, "CMyCalculationPicThread...end");
    }

    // A view at 0.3 px noise whose sent frame keeps the pose's roll.
    SyntheticView viewAt(const SyntheticPose& pose, double missingFraction, uint64_t seed) const {
        SyntheticOptions options;
        options.noisePx = 0.3;
        options.missingFraction = missingFraction;
        options.ringCutShiftPx = 1.0;
        options.residualRotationDeg = pose.rollDeg;
        options.homographyJitterPx = 2.0;
        return m_board.generate(pose, options, seed);
    }

private slots:
    void generatorTellsTheTruth() {
        SyntheticPose pose;
        pose.rollDeg = 7.0;
        pose.tiltDeg = 20.0;
        SyntheticOptions options;
        options.noisePx = 0.3;
        options.missingFraction = 0.1;
        const SyntheticView view = m_board.generate(pose, options, 42);

        QCOMPARE(SyntheticBoardView::boardLattice().size(), size_t(270));
        QCOMPARE(view.visibleCount, size_t(270));
        QCOMPARE(view.centres.size(), size_t(243));
        QCOMPARE(view.lattice.size(), view.centres.size());
        for (size_t m = 0; m < 3; ++m) {
            QVERIFY(view.marks[m] != 0);
            QCOMPARE(view.lattice[view.marks[m]], SyntheticBoardView::kMarks[m]);
        }
        // Sent points are H times the image points.
        std::vector<cv::Point2f> mapped;
        cv::perspectiveTransform(view.imageCentres, mapped, view.homography);
        for (size_t i = 0; i < mapped.size(); ++i) {
            QVERIFY(cv::norm(mapped[i] - view.centres[i]) < 1e-3);
        }
        // Equal arguments, equal views; another seed, another order.
        const SyntheticView again = m_board.generate(pose, options, 42);
        QCOMPARE(again.centres, view.centres);
        QVERIFY(m_board.generate(pose, options, 43).lattice != view.lattice);
    }

    void ordersUndistortedNoiseFreeViewsExactly_data() {
        QTest::addColumn<bool>("forward");
        QTest::addColumn<double>("roll");
        QTest::addColumn<double>("tilt");
        QTest::addColumn<double>("tiltAxis");
        QTest::newRow("downward, frontal") << false << 0.0 << 0.0 << 0.0;
        QTest::newRow("downward, rolled") << false << 12.0 << 0.0 << 0.0;
        QTest::newRow("downward, tilted") << false << -5.0 << 30.0 << 60.0;
        QTest::newRow("forward, tilted") << true << 4.0 << 25.0 << 200.0;
    }

    void ordersUndistortedNoiseFreeViewsExactly() {
        QFETCH(bool, forward);
        QFETCH(double, roll);
        QFETCH(double, tilt);
        QFETCH(double, tiltAxis);
        const SyntheticCamera camera =
            (forward ? SyntheticCamera::forward() : SyntheticCamera::downward()).undistorted();
        const SyntheticBoardView board(camera, m_check.gridUnitCm());
        SyntheticPose pose;
        pose.rollDeg = roll;
        pose.tiltDeg = tilt;
        pose.tiltAxisDeg = tiltAxis;
        pose.fill = tilt > 0.0 ? 0.6 : 0.75;
        SyntheticOptions options;
        options.residualRotationDeg = roll;
        const SyntheticView view = board.generate(pose, options, 5);
        QCOMPARE(view.centres.size(), size_t(270));

        const QuietLog quietLog;
        Task task(0, QString());
        const OrderingOutcome outcome = m_check.order(view, 0, 1, &task);
        QVERIFY(outcome.stored);
        QCOMPARE(outcome.recovered, size_t(258));
        QCOMPARE(outcome.wrong, size_t(0));
        QVERIFY(outcome.maxImageError < 1e-3);

        // The marks stay, their twelve ring-cut neighbours go: every other
        // position exactly once.
        std::map<std::pair<int, int>, int> seen;
        for (const cv::Point& p : task.sortedGrid()) {
            ++seen[{p.x, p.y}];
        }
        for (const cv::Point& p : SyntheticBoardView::boardLattice()) {
            const int expected = OrderingCheck::isPlaceable(p) ? 1 : 0;
            QCOMPARE((seen[{p.x, p.y}]), expected);
        }
        for (const cv::Point& mark : SyntheticBoardView::kMarks) {
            QCOMPARE((seen[{mark.x, mark.y}]), 1);
        }
        QCOMPARE((seen[{12, 11}]), 0);
        // The traced circles first, in their order: odd rows (second pass),
        // then even rows, each line in column order. The tracing never
        // reaches column 0 of the odd rows; those ten follow it.
        QCOMPARE(task.tracedEntries(), size_t(248));
        QCOMPARE(task.sortedGrid().front(), cv::Point(2, 1));
        QCOMPARE(task.sortedGrid()[247], cv::Point(25, 18));
        for (size_t e = 248; e < task.sortedGrid().size(); ++e) {
            QCOMPARE(task.sortedGrid()[e].x, 0);
        }
    }

    void identityHomographyKeepsThePoints() {
        const SyntheticBoardView board(SyntheticCamera::downward().undistorted(),
                                       m_check.gridUnitCm());
        SyntheticPose pose;
        pose.fill = 0.8;
        SyntheticView view = board.generate(pose, SyntheticOptions(), 9);
        // Send the image points themselves: here the lattice step is large
        // enough in the image (about 19 px) for the ordering to work without H.
        view.centres = view.imageCentres;
        view.homography = cv::Mat::eye(3, 3, CV_64F);
        const QuietLog quietLog;
        Task task(0, QString());
        const OrderingOutcome outcome = m_check.order(view, 0, 1, &task);
        QVERIFY(outcome.stored);
        QCOMPARE(outcome.wrong, size_t(0));
        for (size_t e = 0; e < task.sortedImagePoints().size(); ++e) {
            QCOMPARE(task.sortedImagePoints()[e], view.centres[task.sortedIndices()[e]]);
        }
    }

    void leftAndRightGiveBitIdenticalBoardPoints() {
        SyntheticPose left;
        left.tiltDeg = 10.0;
        SyntheticPose right = left;
        right.shift = {0.25, 0.0};  // the right camera misses part of the board
        SyntheticOptions options;
        options.noisePx = 0.3;

        const QuietLog quietLog;
        Task leftTask(0, QString());
        Task rightTask(0, QString());
        QVERIFY(m_check.order(m_board.generate(left, options, 1), 30, 1, &leftTask).stored);
        QVERIFY(m_check.order(m_board.generate(right, options, 3), 30, 2, &rightTask).stored);
        QVERIFY(rightTask.sortedGrid().size() < leftTask.sortedGrid().size());

        size_t common = 0;
        for (size_t r = 0; r < rightTask.sortedGrid().size(); ++r) {
            for (size_t l = 0; l < leftTask.sortedGrid().size(); ++l) {
                if (leftTask.sortedGrid()[l] == rightTask.sortedGrid()[r]) {
                    QVERIFY(sameBits(leftTask.objectPoints()[l], rightTask.objectPoints()[r]));
                    ++common;
                }
            }
        }
        QCOMPARE(common, rightTask.sortedGrid().size());
        const cv::Point3f mark = leftTask.objectPoints()[static_cast<size_t>(
            std::find(leftTask.sortedGrid().begin(), leftTask.sortedGrid().end(),
                      cv::Point(11, 12)) -
            leftTask.sortedGrid().begin())];
        QVERIFY(sameBits(
            mark, cv::Point3f(11.0f * leftTask.gridUnit(), 12.0f * leftTask.gridUnit(), 0.0f)));
    }

    void resultDependsOnTheViewNotThePacketOrder() {
        SyntheticPose pose;
        pose.rollDeg = 6.0;
        pose.tiltDeg = 20.0;
        SyntheticOptions options;
        options.noisePx = 0.5;
        options.residualRotationDeg = 6.0;
        const SyntheticView view = m_board.generate(pose, options, 77);

        const QuietLog quietLog;
        Task first(0, QString());
        Task second(0, QString());
        QVERIFY(m_check.order(view, 0, 1, &first).stored);
        QVERIFY(m_check.order(view, 0, 1, &second).stored);
        QCOMPARE(second.sortedImagePoints(), first.sortedImagePoints());
        QCOMPARE(second.sortedGrid(), first.sortedGrid());

        // The same circles sent in the reverse order, marks following them.
        SyntheticView reversed = view;
        const size_t n = view.centres.size();
        for (size_t i = 0; i < n; ++i) {
            reversed.centres[i] = view.centres[n - 1 - i];
            reversed.imageCentres[i] = view.imageCentres[n - 1 - i];
            reversed.lattice[i] = view.lattice[n - 1 - i];
        }
        for (size_t& mark : reversed.marks) {
            mark = n - 1 - mark;
        }
        Task third(0, QString());
        QVERIFY(m_check.order(reversed, 0, 1, &third).stored);
        QCOMPARE(third.sortedGrid(), first.sortedGrid());
        for (size_t e = 0; e < first.sortedIndices().size(); ++e) {
            QCOMPARE(third.sortedIndices()[e], n - 1 - first.sortedIndices()[e]);
        }
    }

    void tasksOnThePoolFillTheirOwnSlots() {
        ImageData store;
        store.startRun();
        std::vector<SyntheticView> views;
        {
            const QuietLog quietLog;
            QThreadPool pool;
            pool.setMaxThreadCount(5);
            for (int image = 0; image < 12; ++image) {
                SyntheticPose pose;
                pose.rollDeg = image - 6.0;
                pose.tiltDeg = 2.0 * image;
                pose.tiltAxisDeg = 30.0 * image;
                SyntheticOptions options;
                options.noisePx = 0.3;
                options.residualRotationDeg = pose.rollDeg;
                views.push_back(
                    m_board.generate(pose, options, 200 + static_cast<uint64_t>(image)));
                auto* task = new Task(0, QString());
                task->setRadius(kRadius);
                task->setStore(&store);
                // Images 20..31: both pairs, across their boundary (25, 26), alternating cameras.
                task->startTask(static_cast<unsigned long>(20 + image),
                                static_cast<unsigned long>(1 + image % 2), views.back().centres,
                                views.back().marks, views.back().homography,
                                {kScreenMm, kScreenPx});
                pool.start(task);
            }
            QVERIFY(pool.waitForDone(30000));
        }
        for (int image = 0; image < 12; ++image) {
            const int index = 20 + image;
            const bool forward = index < 26;
            const size_t slot = static_cast<size_t>(forward ? index : index - 26);
            const bool left = image % 2 == 0;
            const auto& pix =
                left ? (forward ? store.m_vecLeftPix_front : store.m_vecLeftPix_down)
                     : (forward ? store.m_vecRightPix_front : store.m_vecRightPix_down);
            const auto& world =
                left ? (forward ? store.m_vecWorld_front : store.m_vecWorld_down)
                     : (forward ? store.m_vecRightWorld_front : store.m_vecRightWorld_down);
            QCOMPARE(pix[slot].size(), size_t(258));
            QCOMPARE(world[slot].size(), size_t(258));
            // Each stored point is the image point of the circle its board
            // point names in this image's view.
            const float unit = m_check.gridUnitCm();
            for (size_t e = 0; e < pix[slot].size(); ++e) {
                const cv::Point position(static_cast<int>(std::lround(world[slot][e].x / unit)),
                                         static_cast<int>(std::lround(world[slot][e].y / unit)));
                const auto& truth = views[static_cast<size_t>(image)];
                const size_t i = static_cast<size_t>(
                    std::find(truth.lattice.begin(), truth.lattice.end(), position) -
                    truth.lattice.begin());
                QVERIFY(i < truth.lattice.size());
                QVERIFY(cv::norm(pix[slot][e] - truth.imageCentres[i]) < 1e-2);
            }
        }
        size_t filled = 0;
        for (const auto* v : {&store.m_vecLeftPix_front, &store.m_vecRightPix_front,
                              &store.m_vecLeftPix_down, &store.m_vecRightPix_down}) {
            filled += size_t(std::count_if(v->begin(), v->end(),
                                           [](const auto& slot) { return !slot.empty(); }));
        }
        QCOMPARE(filled, size_t(12));
    }

    void unusedCirclesAreTheRingCutOnes() {
        // A tilted view whose ring-cut circles lie 1 px off, as on the screen.
        const SyntheticPose pose{0.0, 20.0, 70.0, 0.7, {0.0, 0.0}};
        SyntheticOptions options;
        options.noisePx = 0.3;
        options.ringCutShiftPx = 1.0;
        const SyntheticView view = m_board.generate(pose, options, 17);
        ImageData store;
        store.startRun();
        Task task(0, QString());
        task.setRadius(kRadius);
        task.setStore(&store);
        task.startTask(3, 1, view.centres, view.marks, view.homography, {kScreenMm, kScreenPx});
        {
            const QuietLog quietLog;
            task.run();
        }
        QVERIFY(task.stored());
        QCOMPARE(task.sortedImagePoints().size(), view.centres.size() - 12);
        // What was not used: the twelve ring-cut circles, where the image has
        // them, and none of the virtual points the tracing walked past the
        // board's edges on.
        std::vector<cv::Point2f> ringCut;
        for (size_t i = 0; i < view.lattice.size(); ++i) {
            if (SyntheticBoardView::isRingCut(view.lattice[i])) {
                ringCut.push_back(view.imageCentres[i]);
            }
        }
        const std::vector<cv::Point2f> unused = task.unusedImagePoints();
        QCOMPARE(unused.size(), ringCut.size());
        for (size_t k = 0; k < ringCut.size(); ++k) {
            QVERIFY(cv::norm(unused[k] - ringCut[k]) < 1e-2);
        }
    }

    void cameraWithoutSlotStoresNothing() {
        const SyntheticView view = m_board.generate(SyntheticPose(), SyntheticOptions(), 3);
        ImageData store;
        store.startRun();
        Task task(0, QString());
        task.setRadius(kRadius);
        task.setStore(&store);
        task.startTask(4, 3, view.centres, view.marks, view.homography, {kScreenMm, kScreenPx});
        expectUnstoredRun("-------5.no slot for image-------- 4 camera 3");
        task.run();
        QVERIFY(!task.stored());
        QCOMPARE(task.sortedImagePoints().size(), size_t(258));
    }

    void singularHomographyIsRefused() {
        SyntheticView view = m_board.generate(SyntheticPose(), SyntheticOptions(), 3);
        view.homography = cv::Mat::zeros(3, 3, CV_64F);
        expectUnstoredRun("-------5.homography is not invertible--------");
        QVERIFY(!m_check.order(view).stored);
    }

    void aViewWhoseTracedLinesContradictThemselvesIsPlacedFromTheMarks() {
        // Distortion and a missing circle near the board's corner make one
        // pass claim a circle of the other pass's rows. Which of the two
        // positions is right cannot be told from the lines, so none of them
        // is used: the board is grown from the marks instead.
        SyntheticPose pose;
        pose.rollDeg = -3.0;
        pose.tiltDeg = 5.0;
        pose.fill = 0.85;
        const SyntheticView view = viewAt(pose, 0.05, 25);
        Task task(0, QString());
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^CMyCalculationPicThread::run "));
        QTest::ignoreMessage(QtDebugMsg,
                             QRegularExpression("^-------5.circle listed twice-------- \\d+$"));
        QTest::ignoreMessage(
            QtDebugMsg, QRegularExpression("^CMyCalculationPicThread: board grown from the marks"));
        QTest::ignoreMessage(QtDebugMsg, "CMyCalculationPicThread...end");
        const OrderingOutcome outcome = m_check.order(view, 0, 1, &task);
        QVERIFY(outcome.stored);
        QVERIFY(task.grownFromMarks());
        QCOMPARE(task.tracedEntries(), size_t(0));
        QCOMPARE(outcome.wrong, size_t(0));
        QVERIFY2(outcome.assigned + 3 >= outcome.expected,
                 qPrintable(QString("%1 of %2").arg(outcome.assigned).arg(outcome.expected)));
    }

    void growthAtStrongDistortionUsesOnlyFitsFromAllRound() {
        // Far more barrel distortion than the drone's lenses have, steep
        // tilt and 10 % of the circles missing: the tracing drifts, and
        // growing from the marks reaches a corner circle whose placed
        // neighbours form a thin strip to one side of it. A fit through
        // them lands on the circle next to it; such a fit must place
        // nothing, so that the rest of the view is kept.
        SyntheticCamera camera = SyntheticCamera::downward();
        camera.distortion[0] = -0.35;
        camera.distortion[1] = 0.12;
        const SyntheticBoardView board(camera, m_check.gridUnitCm());
        SyntheticPose pose;
        pose.rollDeg = 11.05;
        pose.tiltDeg = 31.87;
        pose.tiltAxisDeg = 37.93;
        pose.fill = 0.6066;
        pose.shift = {-0.02095, 0.03578};
        SyntheticOptions options;
        options.noisePx = 1.0;
        options.missingFraction = 0.1;
        options.ringCutShiftPx = 1.0;
        options.residualRotationDeg = pose.rollDeg;
        options.homographyJitterPx = 2.0;
        const SyntheticView view = board.generate(pose, options, 1023);
        Task task(0, QString());
        OrderingOutcome outcome;
        {
            const QuietLog quietLog;
            outcome = m_check.order(view, 0, 1, &task);
        }
        QVERIFY(outcome.stored);
        QVERIFY(task.grownFromMarks());
        QCOMPARE(outcome.wrong, size_t(0));
        QVERIFY2(outcome.assigned * 10 >= outcome.expected * 9,
                 qPrintable(QString("%1 of %2").arg(outcome.assigned).arg(outcome.expected)));
    }

    // The drone sends 0 for a mark it did not find. Two marks that agree
    // with the lattice directions are enough to place the board, whichever
    // two they are; one is not, and marks that carry each other's labels
    // must not place anything.
    void marksSeenDecideWhatCanBePlaced_data() {
        QTest::addColumn<std::vector<int>>("marks");  // which view mark in each slot, -1: none
        QTest::addColumn<bool>("placed");
        QTest::addColumn<QString>("line");
        QTest::newRow("all three") << std::vector<int>{0, 1, 2} << true << QString();
        QTest::newRow("without (11, 12)")
            << std::vector<int>{-1, 1, 2} << true << "-------3.m_vecMarkIdx-------- 0";
        QTest::newRow("without (12, 7)")
            << std::vector<int>{0, 1, -1} << true << "-------3.m_vecMarkIdx--------";
        QTest::newRow("only (15, 12)") << std::vector<int>{-1, 1, -1} << false
                                       << "-------5.marks cannot seed the board--------";
        QTest::newRow("two, labels swapped")
            << std::vector<int>{1, 0, -1} << false << "-------5.marks do not agree";
        QTest::newRow("three, two labels swapped")
            << std::vector<int>{1, 0, 2} << false << "-------5.marks do not";
        QTest::newRow("one circle, two labels") << std::vector<int>{-1, 2, 2} << false
                                                << "-------5.marks cannot seed the board--------";
    }

    void marksSeenDecideWhatCanBePlaced() {
        QFETCH(std::vector<int>, marks);
        QFETCH(bool, placed);
        QFETCH(QString, line);
        SyntheticPose pose;
        pose.rollDeg = 4.0;
        pose.tiltDeg = 20.0;
        pose.tiltAxisDeg = 60.0;
        SyntheticView view = viewAt(pose, 0.0, 8);
        const std::vector<size_t> seen = view.marks;
        for (size_t m = 0; m < 3; ++m) {
            view.marks[m] = marks[m] < 0 ? 0 : seen[static_cast<size_t>(marks[m])];
        }
        const CollectedLog log;
        const OrderingOutcome outcome = m_check.order(view);
        QCOMPARE(outcome.wrong, size_t(0));
        QCOMPARE(outcome.stored, placed);
        if (placed) {
            QVERIFY2(outcome.assigned + 3 >= outcome.expected,
                     qPrintable(QString("%1 of %2").arg(outcome.assigned).arg(outcome.expected)));
        }
        if (!line.isEmpty()) {
            QVERIFY2(log.has(line), qPrintable(g_collected.join('\n')));
        }
    }

    // Fast samples of the accuracy measurement (bench/ordering_accuracy):
    // distorted views with everything at once, and views a third outside the
    // image. Views the ordering cannot place safely end unstored; a stored
    // view must be right in every entry.
    void neverStoresAWrongPosition_data() {
        QTest::addColumn<bool>("partial");
        QTest::newRow("noise, rotation, tilt, missing circles") << false;
        QTest::newRow("a third outside") << true;
    }

    void neverStoresAWrongPosition() {
        QFETCH(bool, partial);
        const QuietLog quietLog;
        const int views = partial ? 16 : 30;
        int stored = 0;
        int storedFromMarks = 0;
        for (int v = 0; v < views; ++v) {
            const double spread = ((v * 7) % views) / double(views);
            SyntheticPose pose;
            pose.rollDeg = (partial ? 5.0 : 15.0) * (2.0 * v / views - 1.0);
            pose.tiltDeg = (partial ? 15.0 : 35.0) * spread;
            pose.tiltAxisDeg = 37.0 * v;
            pose.fill = 0.85 - 0.25 * ((v * 11) % views) / views;
            SyntheticOptions options;
            options.noisePx = partial ? 0.3 : 0.5;
            options.missingFraction = partial ? 0.0 : 0.05;
            options.ringCutShiftPx = 1.0;
            options.residualRotationDeg = pose.rollDeg;
            options.homographyJitterPx = 2.0;
            if (partial) {
                // Slide towards one of four edges until a third has left the image.
                const double angle = 0.4 * v;
                const cv::Point2d direction(std::cos(angle), std::sin(angle));
                for (double s = 0.0; s < 1.5; s += 0.02) {
                    pose.shift = direction * s;
                    if (m_board.generate(pose, SyntheticOptions(), 0).visibleCount <= 180) {
                        break;
                    }
                }
            }
            const SyntheticView view =
                m_board.generate(pose, options, 100 + static_cast<uint64_t>(v));
            const OrderingOutcome outcome = m_check.order(view);
            QCOMPARE(outcome.wrong, size_t(0));
            if (outcome.stored) {
                ++stored;
                QVERIFY(outcome.recovered + 5 >= outcome.expected);
            }
            // What the ordering falls back to, tried on every view.
            const OrderingOutcome grown = m_check.orderFromMarks(view);
            QCOMPARE(grown.wrong, size_t(0));
            if (grown.stored) {
                ++storedFromMarks;
                QVERIFY(grown.assigned + 5 >= grown.expected);
            }
        }
        QVERIFY2(stored >= views * 2 / 3,
                 qPrintable(QString("stored %1 of %2").arg(stored).arg(views)));
        QVERIFY2(storedFromMarks >= views * 2 / 3,
                 qPrintable(QString("from the marks %1 of %2").arg(storedFromMarks).arg(views)));
    }
};

NIMBRA_CORE_TEST_MAIN(TestOrderingSynthetic)
#include "tst_orderingsynthetic.moc"
