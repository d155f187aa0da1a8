#include "tests/support/TestMain.h"

#include "Calibration/CMyCalculationPicThread.h"
#include "tests/support/syntheticboard/OrderingCheck.h"
#include "tests/support/syntheticboard/SyntheticBoardView.h"

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

}  // namespace

Q_DECLARE_METATYPE(SyntheticPose)

class TestOrderingSynthetic : public QObject {
    Q_OBJECT

    const OrderingCheck m_check{kRadius, kScreenMm, kScreenPx};
    const SyntheticBoardView m_board{SyntheticCamera::downward(), m_check.gridUnitCm()};

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
        const OrderingOutcome outcome = m_check.order(view);
        QVERIFY(outcome.stored);
        QCOMPARE(outcome.recovered, size_t(258));
        QCOMPARE(outcome.wrong, size_t(0));
        QVERIFY(outcome.maxImageError < 1e-3);
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

    void singularHomographyIsRefused() {
        SyntheticView view = m_board.generate(SyntheticPose(), SyntheticOptions(), 3);
        view.homography = cv::Mat::zeros(3, 3, CV_64F);
        const QuietLog quietLog;
        QVERIFY(!m_check.order(view).stored);
    }

    // Views the line tracing cannot be trusted on, so the board is grown
    // from the marks instead, and growing must still place nothing wrong.
    void hardViewsAreGrownFromTheMarks_data() {
        QTest::addColumn<double>("k1");
        QTest::addColumn<SyntheticPose>("pose");
        QTest::addColumn<double>("noise");
        QTest::addColumn<double>("missing");
        QTest::addColumn<int>("seed");
        QTest::addColumn<int>("slackPercent");  // placeable circles it may leave out, per cent
        // Distortion and a missing circle near a corner make one pass claim a
        // circle of the other pass's rows: which is right cannot be told.
        QTest::newRow("traced lines contradict themselves")
            << 0.0 << SyntheticPose{-3.0, 5.0, 0.0, 0.85, {0.0, 0.0}} << 0.3 << 0.05 << 25 << 2;
        // Far more barrel distortion than the drone's lenses have: growing
        // reaches a corner circle whose placed neighbours form a thin strip to
        // one side; a fit through them would land on the circle next to it.
        QTest::newRow("fit from one side only")
            << -0.35 << SyntheticPose{11.05, 31.87, 37.93, 0.6066, {-0.02095, 0.03578}} << 1.0
            << 0.1 << 1023 << 10;
    }

    void hardViewsAreGrownFromTheMarks() {
        QFETCH(double, k1);
        QFETCH(SyntheticPose, pose);
        QFETCH(double, noise);
        QFETCH(double, missing);
        QFETCH(int, seed);
        QFETCH(int, slackPercent);
        SyntheticCamera camera = SyntheticCamera::downward();
        if (k1 != 0.0) {
            camera.distortion[0] = k1;
            camera.distortion[1] = 0.12;
        }
        const SyntheticBoardView board(camera, m_check.gridUnitCm());
        SyntheticOptions options;
        options.noisePx = noise;
        options.missingFraction = missing;
        options.ringCutShiftPx = 1.0;
        options.residualRotationDeg = pose.rollDeg;
        options.homographyJitterPx = 2.0;
        const SyntheticView view = board.generate(pose, options, static_cast<uint64_t>(seed));
        Task task(0, QString());
        OrderingOutcome outcome;
        {
            const QuietLog quietLog;
            outcome = m_check.order(view, 0, 1, &task);
        }
        QVERIFY(outcome.stored);
        QVERIFY(task.grownFromMarks());
        QCOMPARE(outcome.wrong, size_t(0));
        QVERIFY2(outcome.assigned * 100 >= outcome.expected * size_t(100 - slackPercent),
                 qPrintable(QString("%1 of %2").arg(outcome.assigned).arg(outcome.expected)));
    }

    // The drone sends 0 for a mark it did not find. Two marks that agree
    // with the lattice directions are enough to place the board, whichever
    // two they are; one is not, and marks that carry each other's labels
    // must not place anything.
    void marksSeenDecideWhatCanBePlaced_data() {
        QTest::addColumn<std::vector<int>>("marks");  // which view mark in each slot, -1: none
        QTest::addColumn<bool>("placed");
        QTest::newRow("all three") << std::vector<int>{0, 1, 2} << true;
        QTest::newRow("without (11, 12)") << std::vector<int>{-1, 1, 2} << true;
        QTest::newRow("without (12, 7)") << std::vector<int>{0, 1, -1} << true;
        QTest::newRow("only (15, 12)") << std::vector<int>{-1, 1, -1} << false;
        QTest::newRow("two, labels swapped") << std::vector<int>{1, 0, -1} << false;
        QTest::newRow("three, two labels swapped") << std::vector<int>{1, 0, 2} << false;
        QTest::newRow("one circle, two labels") << std::vector<int>{-1, 2, 2} << false;
    }

    void marksSeenDecideWhatCanBePlaced() {
        QFETCH(std::vector<int>, marks);
        QFETCH(bool, placed);
        SyntheticPose pose;
        pose.rollDeg = 4.0;
        pose.tiltDeg = 20.0;
        pose.tiltAxisDeg = 60.0;
        SyntheticView view = viewAt(pose, 0.0, 8);
        const std::vector<size_t> seen = view.marks;
        for (size_t m = 0; m < 3; ++m) {
            view.marks[m] = marks[m] < 0 ? 0 : seen[static_cast<size_t>(marks[m])];
        }
        const QuietLog quietLog;
        const OrderingOutcome outcome = m_check.order(view);
        QCOMPARE(outcome.wrong, size_t(0));
        QCOMPARE(outcome.stored, placed);
        if (placed) {
            QVERIFY2(outcome.assigned + 3 >= outcome.expected,
                     qPrintable(QString("%1 of %2").arg(outcome.assigned).arg(outcome.expected)));
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
