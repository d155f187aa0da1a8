#include "tests/Calibration/CalibrationRunFixture.h"

#include "Calibration/CalibrationRun.h"
#include "Calibration/ImageData.h"
#include "Calibration/report/MapQuantisation.h"
#include "Calibration/report/RunReportBuilder.h"
#include "Calibration/report/RunReportJson.h"
#include "tests/support/StereoRigSimulator.h"

#include "tests/support/OutputCapture.h"
#include "tests/support/TestMain.h"

#include <QJsonArray>

#include <cmath>

namespace {

using TaskRecord = CalibrationRun::ImageRecord;

// What the ordering tasks of a run would have recorded for these views: one
// stored record per non-empty list, one dropped record (with its stage) per
// camera view left out. Every image had four circles more than were used.
void recordViews(std::vector<TaskRecord>& tasks, const std::vector<SimulatedView>& views,
                 bool forward) {
    for (size_t v = 0; v < views.size(); ++v) {
        const int index = static_cast<int>(v) + (forward ? 0 : ImageData::kSlotsPerPair);
        for (int camera : {1, 2}) {
            const auto& points = camera == 1 ? views[v].leftImage : views[v].rightImage;
            TaskRecord t;
            t.imageIndex = index;
            t.camera = camera;
            t.centres = static_cast<int>(points.size()) + 4;
            t.stored = !points.empty();
            t.points = static_cast<int>(points.size());
            if (!t.stored) {
                t.dropStage = "latticeDirections";
                t.dropDetail = "directions skewed: row step (1.0, 2.0) px";
            }
            // Four circles of each image were not used, in the picture's corner.
            t.unusedPoints = {{5, 5}, {9, 5}, {5, 9}, {9, 9}};
            tasks.push_back(t);
        }
    }
}

void dropView(std::vector<SimulatedView>& views, size_t v, bool left) {
    (left ? views[v].leftImage : views[v].rightImage).clear();
    (left ? views[v].leftBoard : views[v].rightBoard).clear();
}

const RunReport::Check* findCheck(const RunReport::Pair& pair, const QString& id) {
    for (const RunReport::Check& c : pair.checks) {
        if (c.id == id) {
            return &c;
        }
    }
    return nullptr;
}

}  // namespace

class TestRunReport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void failedCheckIsNamedWithItsValue_data();
    void failedCheckIsNamedWithItsValue();
    void successfulRunReportsViewsAndMaps();
    void runFailureOutsideThePairsIsExplained();

private:
    RunReport::Report calibrate(std::vector<SimulatedView> forward,
                                std::vector<SimulatedView> downward, ImageData& store);

    std::vector<SimulatedView> m_forward;
    std::vector<SimulatedView> m_downward;
    RunReport::Board m_board;
    QString m_folder;
};

void TestRunReport::initTestCase() {
    m_folder = prepareDocuments();
    m_forward = simulateViews(SimulatedRig::forward());
    m_downward = simulateViews(SimulatedRig::downward());
    m_board.radiusPx = 35;
    m_board.screenWidthMm = 344.2;
    m_board.screenWidthPx = 1920;
}

void TestRunReport::init() {
    for (const QString& name : QDir(m_folder).entryList(QDir::Files)) {
        QFile::remove(m_folder + "/" + name);
    }
}

RunReport::Report TestRunReport::calibrate(std::vector<SimulatedView> forward,
                                           std::vector<SimulatedView> downward, ImageData& store) {
    store.startRun();
    storeViews(store, forward, true);
    storeViews(store, downward, false);
    RunReportBuilder::Input input;
    recordViews(input.tasks, forward, true);
    recordViews(input.tasks, downward, false);
    {
        LogCapture quiet;
        StdoutCapture out;
        input.outcome = store.calibrateRun()
                            ? RunOutcome::success()
                            : RunOutcome::failure(RunOutcome::Reason::PairFailed, "a pair failed");
    }
    input.store = &store;
    input.board = m_board;
    input.source = "replay";
    return RunReportBuilder::build(input);
}

void TestRunReport::failedCheckIsNamedWithItsValue_data() {
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<int>("failedPair");
    QTest::addColumn<QString>("check");
    QTest::addColumn<QStringList>("words");
    QTest::newRow("board 10 % too large")
        << "forward scale" << 0 << "baseline"
        << QStringList{"board size seen by the drone does not match this screen", "baseline 6.4",
                       "expected 5.70-6.10 cm"};
    QTest::newRow("downward board 10 % too small")
        << "downward scale" << 1 << "baseline"
        << QStringList{"baseline 3.5", "expected 3.70-4.10 cm"};
    QTest::newRow("blurred view") << "noisy view" << 0 << "rms"
                                  << QStringList{"forward left camera", "at most 0.500 px"};
    QTest::newRow("view with three points, which OpenCV refuses")
        << "three points" << 0 << "images" << QStringList{"forward left camera"};
    QTest::newRow("right camera saw nothing")
        << "right blind" << 0 << "images"
        << QStringList{"could not calibrate the forward right camera from the 0 of 26 images"};
    QTest::newRow("no image seen by both")
        << "alternate" << 0 << "stereoViews"
        << QStringList{"No image was ordered by both forward cameras", "left camera 13",
                       "right camera 13"};
}

void TestRunReport::failedCheckIsNamedWithItsValue() {
    QFETCH(QString, scenario);
    QFETCH(int, failedPair);
    QFETCH(QString, check);
    QFETCH(QStringList, words);
    std::vector<SimulatedView> forward = m_forward, downward = m_downward;
    SimulationSettings scaled;
    if (scenario == "forward scale") {
        scaled.reportedUnitCm = scaled.trueUnitCm * 1.1f;
        forward = simulateViews(SimulatedRig::forward(), scaled);
    } else if (scenario == "downward scale") {
        scaled.reportedUnitCm = scaled.trueUnitCm * 0.9f;
        downward = simulateViews(SimulatedRig::downward(), scaled);
    } else if (scenario == "noisy view") {
        cv::RNG rng(7);
        for (cv::Point2f& p : forward[4].leftImage) {
            p += cv::Point2f(float(rng.gaussian(4.0)), float(rng.gaussian(4.0)));
        }
    } else if (scenario == "three points") {
        forward[2].leftImage.resize(3);
        forward[2].leftBoard.resize(3);
    } else if (scenario == "right blind") {
        for (size_t v = 0; v < forward.size(); ++v) {
            dropView(forward, v, false);
        }
    } else if (scenario == "alternate") {
        for (size_t v = 0; v < forward.size(); ++v) {
            dropView(forward, v, v % 2 != 0);
        }
    }
    ImageData store;
    const RunReport::Report report = calibrate(forward, downward, store);

    QVERIFY(!report.succeeded);
    const RunReport::Pair& pair = report.pairs.at(static_cast<size_t>(failedPair));
    QCOMPARE(pair.failedCheck, check);
    for (const QString& w : words) {
        QVERIFY2(pair.explanation.contains(w), qPrintable(pair.explanation));
    }
    QVERIFY(report.explanation.startsWith("Result NG: " + pair.explanation));
    // Checks before the failed one passed, those after it were not reached.
    bool seenFailure = false;
    for (const RunReport::Check& c : pair.checks) {
        const auto expected = c.id == check ? RunReport::Check::State::Failed
                              : seenFailure ? RunReport::Check::State::NotReached
                                            : RunReport::Check::State::Passed;
        QCOMPARE(int(c.state), int(expected));
        seenFailure = seenFailure || c.id == check;
    }
    if (check == "baseline") {
        const RunReport::Check* b = findCheck(pair, "baseline");
        const cv::Mat& T = failedPair == 0 ? store.m_matT_front : store.m_matT_down;
        QCOMPARE(b->measured, std::fabs(T.at<double>(0)));
        QVERIFY(!(b->measured >= b->min && b->measured <= b->max));
    }
    // No map of a failed pair, nor of the downward pair after the forward
    // one failed, is left where the upload takes them from.
    if (failedPair == 0) {
        QVERIFY(report.pairs[1].explanation.contains("because the forward pair failed"));
        QVERIFY(report.maps.empty());
        QCOMPARE(QDir(m_folder).entryList(QDir::Files), QStringList());
    } else {
        QCOMPARE(report.maps.size(), size_t(2));  // the forward maps only
        QVERIFY(QFile::exists(store.m_strFrontLeftDpuMap) &&
                QFile::exists(store.m_strFrontRightDpuMap));
        QVERIFY(!QFile::exists(store.m_strDownLeftMap) &&
                !QFile::exists(store.m_strDownRightDpuMap));
    }

    const QJsonObject json = RunReportJson::toJson(report);
    QCOMPARE(json["result"].toString(), QString("NG"));
    QCOMPARE(json["failure"].toObject()["check"].toString(), check);
    QCOMPARE(json["failure"].toObject()["pair"].toString(), pair.key);
}

void TestRunReport::successfulRunReportsViewsAndMaps() {
    std::vector<SimulatedView> forward = m_forward;
    dropView(forward, 3, true);  // the ordering gave up on forward image 4, left camera
    ImageData store;
    const RunReport::Report report = calibrate(forward, m_downward, store);
    QVERIFY(report.succeeded);
    QVERIFY(report.explanation.startsWith("Result OK"));

    const RunReport::Camera& left = report.pairs[0].left;
    QCOMPARE(left.received, 26);
    QCOMPARE(left.ordered, 25);
    QCOMPARE(left.views.size(), size_t(25));
    QCOMPARE(left.images[3].ordered, false);
    QCOMPARE(left.images[3].dropStage, QString("latticeDirections"));
    QVERIFY(std::isnan(left.images[3].viewRms));
    QCOMPARE(left.views[3].image, 4);  // views after the gap keep their image numbers
    QCOMPARE(left.worstViews.size(), size_t(RunReportBuilder::kWorstViews));

    // The per-view errors are the calibration's own: together they give its RMS.
    for (const RunReport::Pair& pair : report.pairs) {
        for (const RunReport::Camera* camera : {&pair.left, &pair.right}) {
            double sum = 0;
            size_t n = 0;
            for (const RunReport::View& v : camera->views) {
                QCOMPARE(v.residuals.size(), v.points.size());
                sum += v.rms * v.rms * v.points.size();
                n += v.points.size();
            }
            QVERIFY2(std::fabs(std::sqrt(sum / n) - camera->rms) < 1e-6 * camera->rms,
                     qPrintable(camera->name));
            QVERIFY(camera->worstViews.empty() || camera->views[camera->worstViews[0]].rms >=
                                                      camera->views[camera->worstViews.back()].rms);
        }
        QCOMPARE(pair.failedCheck, QString());
        QCOMPARE(int(findCheck(pair, "rms")->state), int(RunReport::Check::State::Passed));
    }

    // Fixed point in 1/32 px, rounded and clamped at 31/32: never more than
    // 1/32 px per axis from the float map.
    QCOMPARE(report.maps.size(), size_t(4));
    for (const RunReport::Map& m : report.maps) {
        QVERIFY2(m.compared, qPrintable(m.error));
        QVERIFY(m.insidePixels > m.width * m.height / 2);
        QVERIFY(m.medianErrorPx > 0 && m.medianErrorPx < 1.0 / 64 * std::sqrt(2.0));
        QVERIFY(m.maxErrorPx < std::sqrt(2.0) / 32 + 1e-6);
    }
    // Files of another size than the camera's are refused, not read past.
    const RunReport::Map misfit =
        MapQuantisation::compare(store.m_strFrontLeftMap, store.m_strFrontLeftDpuMap, 480, 641);
    QVERIFY(!misfit.compared && misfit.error.contains("expected"));

    // Circles used against circles sent: what the views hold, against
    // what every record of the camera counted.
    int sent = 0, used = 0;
    for (const RunReport::Image& i : left.images) {
        sent += i.centres;
    }
    for (const RunReport::View& v : left.views) {
        used += static_cast<int>(v.points.size());
    }
    QCOMPARE(left.circlesSent, sent);
    QCOMPARE(left.circlesUsed, used);
    QCOMPARE(left.circlesSent - left.circlesUsed, 4 * 26);
}

void TestRunReport::runFailureOutsideThePairsIsExplained() {
    // The run ended before any pair was calibrated: the report says why in
    // the run's own words, and report.json names the reason, not a pair.
    ImageData store;
    store.startRun();
    RunReportBuilder::Input input;
    input.store = &store;
    input.board = m_board;
    input.outcome = RunOutcome::failure(
        RunOutcome::Reason::ConnectionLost,
        "the data connection to the drone dropped after 60 of the run's 104 feature records");
    TaskRecord last;
    last.imageIndex = 29;
    last.camera = 2;
    last.centres = 3;
    last.dropStage = "bendVectors";
    last.dropDetail = "no bent path of three neighbouring circles among the 3 centres";
    input.tasks = {last};
    const RunReport::Report report = RunReportBuilder::build(input);
    QVERIFY(!report.succeeded);
    QCOMPARE(report.explanation,
             QString("Result NG: The data connection to the drone dropped after 60 of the run's "
                     "104 feature records."));
    QCOMPARE(int(report.pairs[0].checks[0].state), int(RunReport::Check::State::NotReached));
    const QJsonObject json = RunReportJson::toJson(report);
    QCOMPARE(json["result"].toString(), QString("NG"));
    QVERIFY(json["failure"].toObject()["pair"].isNull());
    QCOMPARE(json["failure"].toObject()["check"].toString(), QString("connection"));
    const QJsonObject camera =
        json["pairs"].toArray()[1].toObject()["cameras"].toArray()[1].toObject();
    QCOMPARE(camera["images"].toArray()[0].toObject()["droppedBy"].toString(),
             QString("bendVectors"));
}

NIMBRA_CORE_TEST_MAIN(TestRunReport)
#include "tst_runreport.moc"
