#include "Calibration/CalibrationRun.h"

#include "Calibration/HiDPUInterface.h"

#include <QDebug>
#include <QFileInfo>
#include <QRunnable>
#include <QThreadPool>

namespace {

// The calibrations of every run in the process take turns on the output
// files: the log and the eight maps have fixed names.
std::mutex& outputFilesMutex() {
    static std::mutex mutex;
    return mutex;
}

QString pairName(bool forward) {
    return forward ? QStringLiteral("forward") : QStringLiteral("downward");
}

QString stopWords(PairDiagnostics::Stop stop) {
    switch (stop) {
        case PairDiagnostics::Stop::NotRun:
            return QStringLiteral("it was not calibrated");
        case PairDiagnostics::Stop::OpenCvRefused:
            return QStringLiteral("OpenCV could not calibrate it from its images");
        case PairDiagnostics::Stop::NoStereoViews:
            return QStringLiteral("no image was ordered by both of its cameras");
        case PairDiagnostics::Stop::TranslationEmpty:
            return QStringLiteral("its stereo calibration gave no offset between the cameras");
        case PairDiagnostics::Stop::BaselineOutOfRange:
            return QStringLiteral("its baseline is outside the accepted range");
        case PairDiagnostics::Stop::RmsTooHigh:
            return QStringLiteral("its reprojection error is above the limit");
        case PairDiagnostics::Stop::OutputFailed:
            return QStringLiteral("its log or maps could not be written");
        case PairDiagnostics::Stop::Passed:
            break;
    }
    return QStringLiteral("it passed");
}

}  // namespace

// One ordering task of a run on the pool; holds the run while it works.
class CalibrationRunTask : public QRunnable {
public:
    CalibrationRunTask(std::shared_ptr<CalibrationRun> run,
                       std::unique_ptr<CMyCalculationPicThread> task, int centres)
        : m_run(std::move(run)), m_task(std::move(task)), m_centres(centres) {}

    void run() override {
        const bool work = !m_run->aborted();
        if (work) {
            m_task->run();
        }
        m_run->taskEnded(*m_task, m_centres, work);
    }

private:
    std::shared_ptr<CalibrationRun> m_run;
    std::unique_ptr<CMyCalculationPicThread> m_task;
    int m_centres;
};

// One pair's calibration of a run on the pool.
class CalibrationRunPair : public QRunnable {
public:
    CalibrationRunPair(std::shared_ptr<CalibrationRun> run, CalibrationRun::PairId pair)
        : m_run(std::move(run)), m_pair(pair) {}

    void run() override { m_run->calibratePair(m_pair); }

private:
    std::shared_ptr<CalibrationRun> m_run;
    CalibrationRun::PairId m_pair;
};

std::shared_ptr<CalibrationRun> CalibrationRun::create(const QString& outputFolder,
                                                       OutcomeHandler handler, QThreadPool* pool) {
    return std::shared_ptr<CalibrationRun>(
        new CalibrationRun(outputFolder, std::move(handler), pool));
}

CalibrationRun::CalibrationRun(const QString& outputFolder, OutcomeHandler handler,
                               QThreadPool* pool)
    : m_store(std::make_unique<ImageData>()),
      m_pool(pool ? pool : QThreadPool::globalInstance()),
      m_handler(std::move(handler)) {
    m_store->setOutputFolder(outputFolder);
    m_store->startRun();
}

CalibrationRun::~CalibrationRun() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_aborted = true;
    }
    m_changed.notify_all();
    if (m_watchdog.joinable()) {
        if (m_watchdog.get_id() == std::this_thread::get_id()) {
            m_watchdog.detach();
        } else {
            m_watchdog.join();
        }
    }
}

void CalibrationRun::setBoard(float radiusPx,
                              const CMyCalculationPicThread::ScreenMetrics& screen) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_radiusPx = radiusPx;
    m_screen = screen;
}

CalibrationRun::Admission CalibrationRun::addRecord(const FeatureData& record) {
    Admission admission;
    if ((record.view != 4 && record.view != 5) || record.index >= kImagesPerPair ||
        (record.view1 != 1 && record.view1 != 2)) {
        admission.reason = QStringLiteral("pair %1, image %2, camera %3 has no place in a run")
                               .arg(record.view)
                               .arg(record.index)
                               .arg(record.view1);
        qDebug().noquote() << "feature record refused:" << admission.reason;
        return admission;
    }
    const bool downward = record.view == 5;
    const int camera = record.view1;
    admission.imageIndex = static_cast<int>(record.index) + (downward ? kImagesPerPair : 0);
    const int centres = static_cast<int>(record.points.size());

    float radius = 0.0f;
    CMyCalculationPicThread::ScreenMetrics screen;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        PairState& pair = m_pairs[downward ? 1 : 0];
        if (m_published || m_failing || m_aborted) {
            admission.reason = QStringLiteral("the run is over");
        } else if (pair.closed) {
            // The drone sends its images in order; a late one would change
            // a pair whose calibration has already begun.
            admission.reason = QStringLiteral("it arrived after the last image of the %1 pair")
                                   .arg(pairName(!downward));
            ImageRecord late;
            late.imageIndex = admission.imageIndex;
            late.camera = camera;
            late.centres = centres;
            late.dropStage = QStringLiteral("run");
            late.dropDetail = admission.reason;
            m_records.push_back(late);
        }
        if (!admission.reason.isEmpty()) {
            qDebug().noquote() << QStringLiteral("feature record of image %1 camera %2 refused: %3")
                                      .arg(admission.imageIndex)
                                      .arg(camera)
                                      .arg(admission.reason);
            return admission;
        }
        if (downward) {
            m_pairs[0].closed = true;  // the drone has moved on to the downward pair
        }
        ++pair.active;
        ++m_received;
        if (admission.imageIndex == kImagesPerPair - 1) {
            // The forward pair's last image, once both its cameras are in.
            m_forwardLastCameras |= camera;
            m_pairs[0].closed = m_pairs[0].closed || m_forwardLastCameras == 3;
        }
        if (admission.imageIndex == kLastImageIndex && camera == kLastCamera) {
            m_lastRegistered = true;
            pair.closed = true;
        }
        radius = m_radiusPx;
        screen = m_screen;
    }
    m_changed.notify_all();

    auto task = std::make_unique<CMyCalculationPicThread>(0, QString());
    task->setRadius(radius);
    task->setStoreHandler([this](int imageIndex, int cam, const ImageData::ImagePoints& image,
                                 const ImageData::BoardPoints& board) {
        return storeSorted(imageIndex, cam, image, board);
    });
    const cv::Mat homography(3, 3, CV_64F, const_cast<double*>(record.mat.data()));
    const std::vector<size_t> marks{static_cast<size_t>(record.size[0]),
                                    static_cast<size_t>(record.size[1]),
                                    static_cast<size_t>(record.size[2])};
    task->startTask(static_cast<unsigned long>(admission.imageIndex), record.view1, record.points,
                    marks, homography.clone(), screen);
    m_pool->start(new CalibrationRunTask(shared_from_this(), std::move(task), centres));
    admission.accepted = true;
    advance();
    return admission;
}

bool CalibrationRun::storeSorted(int imageIndex, int camera,
                                 const ImageData::ImagePoints& imagePoints,
                                 const ImageData::BoardPoints& boardPoints) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_aborted && m_store->storeSorted(imageIndex, camera, imagePoints, boardPoints);
}

void CalibrationRun::taskEnded(const CMyCalculationPicThread& task, int centres, bool ran) {
    ImageRecord record;
    record.imageIndex = task.imageIndex();
    record.camera = task.camera();
    record.centres = centres;
    record.stored = task.stored();
    record.points = record.stored ? static_cast<int>(task.sortedImagePoints().size()) : 0;
    if (ran) {
        record.unusedPoints = task.unusedImagePoints();
    }
    if (!record.stored) {
        if (ran) {
            record.dropStage = CMyCalculationPicThread::stageName(task.dropReason().stage);
            record.dropDetail = task.dropReason().detail;
        } else {
            record.dropStage = QStringLiteral("run");
            record.dropDetail =
                QStringLiteral("the run was abandoned before the image was ordered");
        }
    }
    const bool last = record.imageIndex == kLastImageIndex && record.camera == kLastCamera;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_records.push_back(record);
        --m_pairs[record.imageIndex >= kImagesPerPair ? 1 : 0].active;
        if (last) {
            m_lastEnded = true;
            m_lastStored = record.stored;
            m_lastDrop = record.dropDetail;
        }
    }
    if (last && record.stored) {
        qDebug() << "最后一张数据计算结束";
    }
    m_changed.notify_all();
    advance();
}

void CalibrationRun::calibratePair(PairId pair) {
    const bool forward = pair == PairId::Forward;
    bool passed = false;
    RunOutcome failure;
    {
        std::lock_guard<std::mutex> files(outputFilesMutex());
        if (!aborted()) {
            m_store->fixSortPair(forward);
            passed = forward ? m_store->calibration_front() : m_store->calibration_down();
            const PairDiagnostics& diag =
                forward ? m_store->m_diagnostics.forward : m_store->m_diagnostics.downward;
            if (!passed && diag.stop == PairDiagnostics::Stop::OutputFailed) {
                failure = RunOutcome::failure(
                    RunOutcome::Reason::OutputNotWritten,
                    QStringLiteral("the %1 pair's calibration could not be saved: %2")
                        .arg(pairName(forward), diag.outputError));
            } else if (!passed) {
                failure = RunOutcome::failure(RunOutcome::Reason::PairFailed,
                                              QStringLiteral("the %1 pair failed: %2")
                                                  .arg(pairName(forward), stopWords(diag.stop)));
            } else if (!forward) {
                // What goes to the drone is read back from the disk.
                const ImageData& s = *m_store;
                const struct {
                    const QString& path;
                    std::uint32_t width, height;
                } maps[] = {{s.m_strFrontLeftDpuMap, 480, 640},
                            {s.m_strFrontRightDpuMap, 480, 640},
                            {s.m_strDownLeftDpuMap, 640, 480},
                            {s.m_strDownRightDpuMap, 640, 480}};
                for (const auto& m : maps) {
                    const QString why = HiDPUInterface::checkMapFile(m.path, m.width, m.height);
                    if (!why.isEmpty()) {
                        qDebug().noquote() << "depth-unit map check failed:" << why;
                        passed = false;
                        failure = RunOutcome::failure(
                            RunOutcome::Reason::MapCheckFailed,
                            QStringLiteral("the depth-unit map %1 does not check out: %2")
                                .arg(QFileInfo(m.path).fileName(), why));
                        break;
                    }
                }
            }
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        PairState& state = m_pairs[static_cast<int>(pair)];
        state.done = true;
        state.passed = passed;
        state.failure = failure;
    }
    advance();
}

bool CalibrationRun::aborted() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_aborted;
}

bool CalibrationRun::idleLocked() const {
    for (const PairState& p : m_pairs) {
        if (p.active > 0 || (p.started && !p.done)) {
            return false;
        }
    }
    return true;
}

void CalibrationRun::failLocked(const RunOutcome& failure) {
    if (!m_failing) {
        m_failing = true;
        m_failure = failure;
        qDebug().noquote() << "calibration run failed:" << failure.message;
    }
    m_pairs[0].closed = true;
    m_pairs[1].closed = true;
}

void CalibrationRun::advance() {
    std::vector<PairId> start;
    OutcomeHandler handler;
    RunOutcome outcome;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_published || m_aborted) {
            return;
        }
        PairState& forward = m_pairs[0];
        PairState& downward = m_pairs[1];
        if (!m_failing && !forward.started && forward.closed && forward.active == 0) {
            forward.started = true;
            start.push_back(PairId::Forward);
        }
        if (!m_failing && forward.done && !downward.started && downward.closed &&
            downward.active == 0 && m_lastEnded) {
            if (!forward.passed) {
                failLocked(forward.failure);
            } else if (!m_lastStored) {
                failLocked(RunOutcome::failure(
                    RunOutcome::Reason::LastImageNotOrdered,
                    QStringLiteral("the last image of the run (downward pair, image 26, right "
                                   "camera) could not be ordered (%1), and the downward pair is "
                                   "calibrated only from a run that has it")
                        .arg(m_lastDrop.isEmpty() ? QStringLiteral("no reason given")
                                                  : m_lastDrop)));
            } else {
                downward.started = true;
                start.push_back(PairId::Downward);
            }
        }
        if (!m_failing && downward.done) {
            if (downward.passed) {
                m_published = true;
                m_outcome = RunOutcome::success();
            } else {
                failLocked(downward.failure);
            }
        }
        if (!m_published && m_failing && idleLocked()) {
            m_published = true;
            m_outcome = m_failure;
        }
        if (m_published) {
            m_store->m_nCalibResult =
                m_outcome.passed() ? ImageData::kResultSucceeded : ImageData::kResultFailed;
            handler = m_handler;
            outcome = m_outcome;
        }
    }
    for (PairId pair : start) {
        m_pool->start(new CalibrationRunPair(shared_from_this(), pair));
    }
    if (handler) {
        m_changed.notify_all();
        handler(outcome);
    }
}

void CalibrationRun::streamEnded() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pairs[0].closed = true;
        m_pairs[1].closed = true;
        if (!m_published && !m_lastRegistered) {
            failLocked(RunOutcome::failure(
                RunOutcome::Reason::LastImageMissing,
                QStringLiteral("the run ended before its last image (downward pair, image 26, "
                               "right camera) arrived, so the calibration never started")));
        }
    }
    advance();
}

void CalibrationRun::connectionLost() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_published || m_lastRegistered) {
            return;
        }
        failLocked(RunOutcome::failure(
            RunOutcome::Reason::ConnectionLost,
            QStringLiteral("the data connection to the drone dropped after %1 of the run's %2 "
                           "feature records had arrived, before its last image")
                .arg(m_received)
                .arg(2 * ImageData::kImagesPerRun)));
    }
    advance();
}

void CalibrationRun::captureFinished(std::chrono::milliseconds bound) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_published || m_aborted || m_lastRegistered || m_watchdog.joinable()) {
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + bound;
    m_watchdog = std::thread([this, deadline, bound] { watchDeadline(deadline, bound); });
}

void CalibrationRun::watchDeadline(std::chrono::steady_clock::time_point deadline,
                                   std::chrono::milliseconds bound) {
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_changed.wait_until(lock, deadline,
                                 [this] { return m_published || m_aborted || m_lastRegistered; })) {
            return;
        }
        failLocked(RunOutcome::failure(
            RunOutcome::Reason::LastImageTimeout,
            QStringLiteral("the last image of the run (downward pair, image 26, right camera) "
                           "did not arrive within %1 s after the drone reported the downward "
                           "capture finished")
                .arg(static_cast<double>(bound.count()) / 1000.0)));
    }
    // Nothing of this object may be touched after advance(): it may publish,
    // and the owner may then let the run go.
    advance();
}

void CalibrationRun::abort() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_aborted = true;
    }
    m_changed.notify_all();
}

bool CalibrationRun::isFinished() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_published;
}

RunOutcome CalibrationRun::outcome() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_outcome;
}

std::vector<CalibrationRun::ImageRecord> CalibrationRun::imageRecords() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_records;
}
