#include "Calibration/CMyCalculationPicThread.h"

#include "Calibration/CalibrationRunTracker.h"

#include "Calibration/ImageData.h"
#include "Calibration/TaskLogCapture.h"

#include <QDebug>
#include <QThread>

#include <cmath>

namespace {

// Lattice positions the tracing passes start from: mark index 0 sits at
// (11, 12), mark index 2 at (12, 7). Mark index 1, at (15, 12), is not used.
const cv::Point kFirstMarkPosition(11, 12);
const cv::Point kSecondMarkPosition(12, 7);

bool isFinite(cv::Point2f p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

}  // namespace

void CMyCalculationPicThread::TracedLines::clear() {
    allIdx.clear();
    foundIdx.clear();
    allGrid.clear();
    foundGrid.clear();
}

CMyCalculationPicThread::CMyCalculationPicThread(int /*id*/, QString /*name*/) {}

float CMyCalculationPicThread::gridUnitCm(float radius, const ScreenMetrics& screen) {
    return radius * 4.0f * 0.5f * (screen.widthMm / screen.widthPx) / 10.0f;
}

bool CMyCalculationPicThread::isLastImageOfRun(int imageIndex, int camera) {
    return imageIndex == kLastImageIndex && camera == kLastImageCamera;
}

void CMyCalculationPicThread::startTask(unsigned long index, unsigned long camera,
                                        const std::vector<cv::Point2f>& centres,
                                        const std::vector<size_t>& marks, const cv::Mat& homography,
                                        const ScreenMetrics& screen) {
    m_vecSortedImagePoints.clear();
    m_vecObjectPoints.clear();
    m_vecSortedIdx.clear();
    m_nTracedEntries = 0;
    m_bGrownFromMarks = false;
    m_vecSortedGrid.clear();
    m_lines.clear();
    m_savedLines.clear();
    m_bStored = false;

    // Values beyond int have no slot; storeSorted refuses them like any other
    // index outside 0..51.
    m_nImageIndex = index > static_cast<unsigned long>(INT32_MAX) ? -1 : static_cast<int>(index);
    m_nCamera = camera > static_cast<unsigned long>(INT32_MAX) ? -1 : static_cast<int>(camera);
    m_vecCentres = centres;
    m_nDetected = centres.size();
    m_vecMarkIdx = marks;
    homography.copyTo(m_matHomography);
    m_fGridUnit = gridUnitCm(m_fRadius, screen);
}

bool CMyCalculationPicThread::inputIsUsable() const {
    if (m_vecCentres.size() > kMaxCentres) {
        qDebug() << "-------0.too many centres--------" << m_vecCentres.size();
        return false;
    }
    for (const cv::Point2f& p : m_vecCentres) {
        if (!isFinite(p)) {
            qDebug() << "-------0.centre not finite--------";
            return false;
        }
    }
    if (m_matHomography.rows != 3 || m_matHomography.cols != 3 ||
        m_matHomography.type() != CV_64F || !cv::checkRange(m_matHomography)) {
        qDebug() << "-------0.homography is not a finite 3x3 matrix--------";
        return false;
    }
    // A zero, negative or non-finite unit would give every circle the same or
    // meaningless board coordinates.
    if (!std::isfinite(m_fGridUnit) || m_fGridUnit <= 0.0f) {
        qDebug() << "-------0.grid unit--------" << m_fGridUnit << "radius" << m_fRadius;
        return false;
    }
    return true;
}

bool CMyCalculationPicThread::marksAreUsable() const {
    if (m_vecMarkIdx.size() < 3) {
        qDebug() << "-------3.m_vecMarkIdx--------"
                 << "only" << m_vecMarkIdx.size() << "marks";
        return false;
    }
    const size_t first = m_vecMarkIdx[0];
    const size_t second = m_vecMarkIdx[2];
    if (first == 0 || second == 0) {
        qDebug() << "-------3.m_vecMarkIdx--------" << first << second;
        return false;
    }
    if (first >= m_vecCentres.size() || second >= m_vecCentres.size()) {
        qDebug() << "-------3.m_vecMarkIdx outside the centres--------" << first << second
                 << m_vecCentres.size();
        return false;
    }
    return true;
}

void CMyCalculationPicThread::run() {
    qDebug() << "CMyCalculationPicThread::run" << QThread::currentThreadId();
    {
        // The run report names the stage that dropped an image by the line
        // the stage logged.
        TaskLogCapture capture;
        orderAndStore();
        if (m_pTracker) {
            CalibrationRunTracker::TaskRecord record;
            record.imageIndex = m_nImageIndex;
            record.camera = m_nCamera;
            record.centres = static_cast<int>(m_nDetected);
            record.unusedPoints = unusedImagePoints();
            record.stored = m_bStored;
            record.points = m_bStored ? static_cast<int>(m_vecSortedImagePoints.size()) : 0;
            if (!m_bStored) {
                record.stageLine = capture.stageLine();
            }
            m_pTracker->recordTask(m_nRunId, record);
        }
    }
    // The run's calibration starts in the run tracker once the last image
    // (isLastImageOfRun) is stored and every other task of the run has ended.
    if (m_pTracker) {
        m_pTracker->taskFinished(m_nRunId);
    }
}

void CMyCalculationPicThread::orderAndStore() {
    if (!inputIsUsable()) {
        return;
    }
    const size_t detectedCount = m_vecCentres.size();

    const CMyGraph graph = findCirclesNeighbor();

    const std::vector<cv::Point2f> bends = findSecondNeighbor_diff(graph);
    if (bends.empty()) {
        qDebug() << "-------1.t_vecSecondNeighbor_diff is empty--------";
        return;
    }

    const std::vector<cv::Point2f> kept = checkSecondCirclesNeighbor_diff(bends);
    if (kept.empty()) {
        qDebug() << "-------2.t_vecSecondNeighbor_diff_check is empty--------";
        return;
    }

    LatticeDirections directions;
    switch (findSecondCirclesNeighbor_Idx(kept, directions)) {
        case DirectionStatus::Found:
            break;
        case DirectionStatus::TooFewVectors:
            qDebug() << "-------4.too few vectors to cluster--------" << kept.size();
            return;
        case DirectionStatus::NotTwoPositive:
            qDebug() << "-------4.lattice directions: not two positive centres--------";
            return;
        case DirectionStatus::TooClose:
            qDebug() << "-------4.lattice directions too close--------" << directions.row.x
                     << directions.row.y << directions.column.x << directions.column.y;
            return;
        case DirectionStatus::Skewed:
            qDebug() << "-------4.lattice directions skewed--------" << directions.row.x
                     << directions.row.y << directions.column.x << directions.column.y;
            return;
    }

    // Without the marks the tracing starts from, the board can still be
    // placed from the marks that were seen (arrangeSortResult).
    if (marksAreUsable()) {
        findMCS(directions, detectedCount, m_vecMarkIdx[0], kFirstMarkPosition, 0);
        m_savedLines = m_lines;
        findMCS(directions, detectedCount, m_vecMarkIdx[2], kSecondMarkPosition, 1);
    }

    if (arrangeSortResult(detectedCount, &directions)) {
        storeResult();
    }
    qDebug() << "CMyCalculationPicThread...end";
}

void CMyCalculationPicThread::storeResult() {
    if (m_pTracker) {
        m_bStored = m_pTracker->storeSorted(m_nRunId, m_nImageIndex, m_nCamera,
                                            m_vecSortedImagePoints, m_vecObjectPoints);
    } else {
        ImageData* store = m_pStore ? m_pStore : ImageData::getInstance();
        m_bStored =
            store->storeSorted(m_nImageIndex, m_nCamera, m_vecSortedImagePoints, m_vecObjectPoints);
    }
    if (!m_bStored) {
        qDebug() << "-------5.no slot for image--------" << m_nImageIndex << "camera" << m_nCamera;
    }
}
