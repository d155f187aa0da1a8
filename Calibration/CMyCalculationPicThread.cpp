#include "Calibration/CMyCalculationPicThread.h"

#include "Calibration/ImageData.h"

#include <QDebug>
#include <QThread>

#include <cmath>
#include <exception>

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

QString CMyCalculationPicThread::stageName(DropReason::Stage stage) {
    switch (stage) {
        case DropReason::Stage::None:
            return QString();
        case DropReason::Stage::Input:
            return QStringLiteral("input");
        case DropReason::Stage::BendVectors:
            return QStringLiteral("bendVectors");
        case DropReason::Stage::DensityFilter:
            return QStringLiteral("densityFilter");
        case DropReason::Stage::LatticeDirections:
            return QStringLiteral("latticeDirections");
        case DropReason::Stage::Marks:
            return QStringLiteral("marks");
        case DropReason::Stage::Assembly:
            return QStringLiteral("assembly");
        case DropReason::Stage::Store:
            return QStringLiteral("store");
    }
    return QString();
}

void CMyCalculationPicThread::drop(DropReason::Stage stage, const QString& detail) {
    m_drop.stage = stage;
    m_drop.detail = detail;
}

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
    m_drop = DropReason();

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

bool CMyCalculationPicThread::inputIsUsable() {
    using Stage = DropReason::Stage;
    if (m_vecCentres.size() > kMaxCentres) {
        qDebug() << "-------0.too many centres--------" << m_vecCentres.size();
        drop(Stage::Input, QStringLiteral("%1 circle centres, more than the %2 accepted")
                               .arg(m_vecCentres.size())
                               .arg(kMaxCentres));
        return false;
    }
    for (const cv::Point2f& p : m_vecCentres) {
        if (!isFinite(p)) {
            qDebug() << "-------0.centre not finite--------";
            drop(Stage::Input, QStringLiteral("a circle centre is not a finite number"));
            return false;
        }
    }
    if (m_matHomography.rows != 3 || m_matHomography.cols != 3 ||
        m_matHomography.type() != CV_64F || !cv::checkRange(m_matHomography)) {
        qDebug() << "-------0.homography is not a finite 3x3 matrix--------";
        drop(Stage::Input, QStringLiteral("the homography is not a finite 3 x 3 matrix"));
        return false;
    }
    // A zero, negative or non-finite unit would give every circle the same or
    // meaningless board coordinates.
    if (!std::isfinite(m_fGridUnit) || m_fGridUnit <= 0.0f) {
        qDebug() << "-------0.grid unit--------" << m_fGridUnit << "radius" << m_fRadius;
        drop(Stage::Input, QStringLiteral("board lattice unit %1 cm (circle radius %2 px) is not "
                                          "positive")
                               .arg(static_cast<double>(m_fGridUnit))
                               .arg(static_cast<double>(m_fRadius)));
        return false;
    }
    return true;
}

bool CMyCalculationPicThread::marksAreUsable() {
    using Stage = DropReason::Stage;
    if (m_vecMarkIdx.size() < 3) {
        qDebug() << "-------3.m_vecMarkIdx--------"
                 << "only" << m_vecMarkIdx.size() << "marks";
        drop(Stage::Marks, QStringLiteral("only %1 mark indices").arg(m_vecMarkIdx.size()));
        return false;
    }
    const size_t first = m_vecMarkIdx[0];
    const size_t second = m_vecMarkIdx[2];
    if (first == 0 || second == 0) {
        qDebug() << "-------3.m_vecMarkIdx--------" << first << second;
        drop(Stage::Marks,
             QStringLiteral("the drone did not find mark circle %1")
                 .arg(first == 0 ? QStringLiteral("(11, 12)") : QStringLiteral("(12, 7)")));
        return false;
    }
    if (first >= m_vecCentres.size() || second >= m_vecCentres.size()) {
        qDebug() << "-------3.m_vecMarkIdx outside the centres--------" << first << second
                 << m_vecCentres.size();
        drop(Stage::Marks, QStringLiteral("mark indices %1 and %2 lie outside the %3 centres")
                               .arg(first)
                               .arg(second)
                               .arg(m_vecCentres.size()));
        return false;
    }
    return true;
}

void CMyCalculationPicThread::run() {
    qDebug() << "CMyCalculationPicThread::run" << QThread::currentThreadId();
    try {
        orderAndStore();
    } catch (const std::exception& e) {
        // On a pool thread an escaping exception ends the process: whatever
        // the drone sent, the image is dropped like any other the ordering
        // cannot use.
        qDebug() << "-------9.ordering stopped by an exception--------" << e.what();
        drop(DropReason::Stage::Input,
             QStringLiteral("the ordering stopped on these centres: %1").arg(e.what()));
    }
}

void CMyCalculationPicThread::orderAndStore() {
    if (!inputIsUsable()) {
        return;
    }
    const size_t detectedCount = m_vecCentres.size();

    const CMyGraph graph = findCirclesNeighbor();

    bool tooManyBends = false;
    const std::vector<cv::Point2f> bends = findSecondNeighbor_diff(graph, &tooManyBends);
    if (tooManyBends) {
        qDebug() << "-------1.too many bend vectors--------" << detectedCount << "centres";
        drop(DropReason::Stage::BendVectors,
             QStringLiteral("more than %1 bent paths per centre among the %2 centres: too many "
                            "circles lie on top of each other")
                 .arg(kMaxBendVectorsPerCentre)
                 .arg(detectedCount));
        return;
    }
    if (bends.empty()) {
        qDebug() << "-------1.t_vecSecondNeighbor_diff is empty--------";
        drop(DropReason::Stage::BendVectors,
             QStringLiteral("no bent path of three neighbouring circles among the %1 centres")
                 .arg(detectedCount));
        return;
    }

    const std::vector<cv::Point2f> kept = checkSecondCirclesNeighbor_diff(bends);
    if (kept.empty()) {
        qDebug() << "-------2.t_vecSecondNeighbor_diff_check is empty--------";
        drop(DropReason::Stage::DensityFilter,
             QStringLiteral("none of the %1 steps between circles repeats often enough to be a "
                            "board step")
                 .arg(bends.size()));
        return;
    }

    LatticeDirections directions;
    const auto directionText = [&directions](const char* what) {
        return QStringLiteral("%1: row step (%2, %3) px, column step (%4, %5) px")
            .arg(QLatin1String(what))
            .arg(static_cast<double>(directions.row.x), 0, 'f', 1)
            .arg(static_cast<double>(directions.row.y), 0, 'f', 1)
            .arg(static_cast<double>(directions.column.x), 0, 'f', 1)
            .arg(static_cast<double>(directions.column.y), 0, 'f', 1);
    };
    switch (findSecondCirclesNeighbor_Idx(kept, directions)) {
        case DirectionStatus::Found:
            break;
        case DirectionStatus::TooFewVectors:
            qDebug() << "-------4.too few vectors to cluster--------" << kept.size();
            drop(DropReason::Stage::LatticeDirections,
                 QStringLiteral("only %1 board steps, too few to find the board's directions")
                     .arg(kept.size()));
            return;
        case DirectionStatus::NotTwoPositive:
            qDebug() << "-------4.lattice directions: not two positive centres--------";
            drop(DropReason::Stage::LatticeDirections,
                 QStringLiteral("the board steps do not form one row and one column direction"));
            return;
        case DirectionStatus::TooClose:
            qDebug() << "-------4.lattice directions too close--------" << directions.row.x
                     << directions.row.y << directions.column.x << directions.column.y;
            drop(DropReason::Stage::LatticeDirections, directionText("directions too close"));
            return;
        case DirectionStatus::Skewed:
            qDebug() << "-------4.lattice directions skewed--------" << directions.row.x
                     << directions.row.y << directions.column.x << directions.column.y;
            drop(DropReason::Stage::LatticeDirections, directionText("directions skewed"));
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
    if (m_storeHandler) {
        m_bStored =
            m_storeHandler(m_nImageIndex, m_nCamera, m_vecSortedImagePoints, m_vecObjectPoints);
    } else {
        ImageData* store = m_pStore ? m_pStore : ImageData::getInstance();
        m_bStored =
            store->storeSorted(m_nImageIndex, m_nCamera, m_vecSortedImagePoints, m_vecObjectPoints);
    }
    if (!m_bStored) {
        qDebug() << "-------5.no slot for image--------" << m_nImageIndex << "camera" << m_nCamera;
        drop(DropReason::Stage::Store,
             QStringLiteral("no slot for image %1, camera %2").arg(m_nImageIndex).arg(m_nCamera));
    }
}
