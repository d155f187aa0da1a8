#include "Calibration/ImageData.h"

#include "device/wire/FileData.h"
#include "device/wire/ResultData.h"

#include <QDateTime>
#include <QStandardPaths>

namespace {

QString documentsLocation() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

// One pair's compaction and left/right matching. L/LW and R/RW are walked in
// step; a view missing on one side is dropped from that side only.
void fixPair(std::vector<ImageData::ImagePoints>& L, std::vector<ImageData::BoardPoints>& LW,
             std::vector<ImageData::ImagePoints>& R, std::vector<ImageData::BoardPoints>& RW,
             std::vector<ImageData::ImagePoints>& stereoL,
             std::vector<ImageData::ImagePoints>& stereoR,
             std::vector<ImageData::BoardPoints>& stereoW) {
    size_t a = 0, b = 0, c = 0, d = 0;
    while (a < L.size() && c < R.size() && b < LW.size() && d < RW.size()) {
        const bool leftEmpty = L[a].empty();
        const bool rightEmpty = R[c].empty();
        if (leftEmpty && rightEmpty) {
            L.erase(L.begin() + a);
            LW.erase(LW.begin() + b);
            R.erase(R.begin() + c);
            RW.erase(RW.begin() + d);
            continue;
        }
        if (leftEmpty) {
            L.erase(L.begin() + a);
            LW.erase(LW.begin() + b);
            ++c;
            ++d;
            continue;
        }
        if (rightEmpty) {
            R.erase(R.begin() + c);
            RW.erase(RW.begin() + d);
            ++a;
            ++b;
            continue;
        }

        ImageData::ImagePoints matchedL, matchedR;
        ImageData::BoardPoints matchedW;
        const ImageData::BoardPoints& lw = LW[b];
        const ImageData::BoardPoints& rw = RW[d];
        // An image list and its board list are the same length when a task
        // stored them; a shorter image list must not be read past its end.
        const size_t nLeft = std::min(lw.size(), L[a].size());
        const size_t nRight = std::min(rw.size(), R[c].size());
        for (size_t j = 0; j < nLeft; ++j) {
            for (size_t k = 0; k < nRight; ++k) {
                if (lw[j].x == rw[k].x && lw[j].y == rw[k].y && lw[j].z == rw[k].z) {
                    matchedW.push_back(lw[j]);
                    matchedL.push_back(L[a][j]);
                    matchedR.push_back(R[c][k]);
                }
            }
        }
        if (!matchedL.empty() && !matchedR.empty() && !matchedW.empty()) {
            stereoL.push_back(std::move(matchedL));
            stereoR.push_back(std::move(matchedR));
            stereoW.push_back(std::move(matchedW));
        }
        ++a;
        ++b;
        ++c;
        ++d;
    }
}

}  // namespace

ImageData* ImageData::getInstance() {
    static ImageData* instance = new ImageData();
    return instance;
}

ImageData::ImageData() {
    m_nCalibResult = kResultPending;
    InitData();
    setOutputFolder(documentsLocation() + QStringLiteral("/NimbraDesktop"));
}

void ImageData::setOutputFolder(const QString& folder) {
    m_strOutputFolder = folder;
    m_strLogFile = newLogFilePath();
    auto map = [&folder](int w, int h, int kind, const char* side) {
        return QString("%1/%2_%3_%4__%5Map.dat").arg(folder).arg(w).arg(h).arg(kind).arg(side);
    };
    m_strFrontLeftMap = map(480, 640, 0, "Left");
    m_strFrontRightMap = map(480, 640, 0, "Right");
    m_strFrontLeftDpuMap = map(480, 640, 1, "Left");
    m_strFrontRightDpuMap = map(480, 640, 1, "Right");
    m_strDownLeftMap = map(640, 480, 0, "Left");
    m_strDownRightMap = map(640, 480, 0, "Right");
    m_strDownLeftDpuMap = map(640, 480, 1, "Left");
    m_strDownRightDpuMap = map(640, 480, 1, "Right");
}

QString ImageData::newLogFilePath() const {
    return QString("%1/log/%2.txt")
        .arg(m_strOutputFolder, QDateTime::currentDateTime().toString("yyyy-MM-dd-hh-mm-ss"));
}

void ImageData::InitData() {
    for (auto* v :
         {&m_vecLeftPix_front, &m_vecRightPix_front, &m_vecLeftPix_down, &m_vecRightPix_down}) {
        v->assign(kSlotsPerPair, ImagePoints());
    }
    for (auto* v :
         {&m_vecWorld_front, &m_vecRightWorld_front, &m_vecWorld_down, &m_vecRightWorld_down}) {
        v->assign(kSlotsPerPair, BoardPoints());
    }

    for (cv::Mat* m : {&m_matLeftCamera_front, &m_matRightCamera_front, &m_matLeftCamera_down,
                       &m_matRightCamera_down}) {
        *m = cv::Mat::eye(3, 3, CV_64F);
    }
    for (cv::Mat* m :
         {&m_matLeftProj_front, &m_matRightProj_front, &m_matLeftProj_down, &m_matRightProj_down}) {
        *m = cv::Mat::eye(3, 4, CV_64F);
    }

    m_vecStereoLeftPix_front.clear();
    m_vecStereoRightPix_front.clear();
    m_vecStereoWorld_front.clear();
    m_vecStereoLeftPix_down.clear();
    m_vecStereoRightPix_down.clear();
    m_vecStereoWorld_down.clear();
}

void ImageData::startRun() {
    InitData();
    m_diagnostics = CalibrationDiagnostics();
    m_nCalibResult = kResultPending;
}

bool ImageData::storeSorted(int imageIndex, int camera, const ImagePoints& imagePoints,
                            const BoardPoints& boardPoints) {
    if (imageIndex < 0 || imageIndex >= kImagesPerRun || (camera != 1 && camera != 2)) {
        return false;
    }
    const bool forward = imageIndex < kSlotsPerPair;
    const size_t slot = static_cast<size_t>(forward ? imageIndex : imageIndex - kSlotsPerPair);
    std::vector<ImagePoints>& pix = camera == 1
                                        ? (forward ? m_vecLeftPix_front : m_vecLeftPix_down)
                                        : (forward ? m_vecRightPix_front : m_vecRightPix_down);
    std::vector<BoardPoints>& world =
        camera == 1 ? (forward ? m_vecWorld_front : m_vecWorld_down)
                    : (forward ? m_vecRightWorld_front : m_vecRightWorld_down);
    if (slot >= pix.size() || slot >= world.size()) {
        return false;
    }
    pix[slot] = imagePoints;
    world[slot] = boardPoints;
    return true;
}

void ImageData::fixSortData() {
    fixSortPair(true);
    fixSortPair(false);
}

void ImageData::fixSortPair(bool forward) {
    if (forward) {
        fixPair(m_vecLeftPix_front, m_vecWorld_front, m_vecRightPix_front, m_vecRightWorld_front,
                m_vecStereoLeftPix_front, m_vecStereoRightPix_front, m_vecStereoWorld_front);
    } else {
        fixPair(m_vecLeftPix_down, m_vecWorld_down, m_vecRightPix_down, m_vecRightWorld_down,
                m_vecStereoLeftPix_down, m_vecStereoRightPix_down, m_vecStereoWorld_down);
    }
}

// --- Upload packets of the data channel ---

namespace {

// One element as a double, or 0 when the matrix does not hold it.
double matrixElement(const cv::Mat& m, int row, int col) {
    if (m.empty() || m.channels() != 1 || row >= m.rows || col >= m.cols) {
        return 0.0;
    }
    cv::Mat element;
    m(cv::Rect(col, row, 1, 1)).convertTo(element, CV_64F);
    return element.at<double>(0, 0);
}

}  // namespace

void ImageData::packResult(ResultData* out, int position) const {
    *out = ResultData();
    out->head = ResultData::kHead;
    out->tail = ResultData::kTail;
    if (!out->setCamera(position)) {
        return;
    }
    const bool forward = out->pair == 1;
    const bool left = out->camera == 1;
    const cv::Mat& camera = forward ? (left ? m_matLeftCamera_front : m_matRightCamera_front)
                                    : (left ? m_matLeftCamera_down : m_matRightCamera_down);
    const cv::Mat& projection = forward ? (left ? m_matLeftProj_front : m_matRightProj_front)
                                        : (left ? m_matLeftProj_down : m_matRightProj_down);
    const cv::Mat& translation = forward ? m_matT_front : m_matT_down;

    out->fx = matrixElement(camera, 0, 0);
    out->fy = matrixElement(camera, 1, 1);
    out->cx = matrixElement(camera, 0, 2);
    out->cy = matrixElement(camera, 1, 2);
    out->tx = matrixElement(translation, 0, 0);
    out->p00 = matrixElement(projection, 0, 0);
    out->p02 = matrixElement(projection, 0, 2);
    out->p12 = matrixElement(projection, 1, 2);
}

void ImageData::packFile(FileData* out) const {
    out->head = FileData::kHead;
    out->tail = FileData::kTail;
}

// --- end of upload packets ---
