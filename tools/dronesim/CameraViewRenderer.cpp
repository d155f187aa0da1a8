#include "tools/dronesim/CameraViewRenderer.h"

#include <opencv2/calib3d.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

CameraViewRenderer::CameraViewRenderer(const Rig& rig, const BoardImage& board)
    : m_rig(rig), m_board(board) {}

void CameraViewRenderer::render(SimCamera camera, int poseIndex, cv::Mat& out) {
    poseIndex = std::clamp(poseIndex, 0, Rig::kImagesPerCamera - 1);
    std::lock_guard<std::mutex> lock(m_mutex);
    const ViewMaps& view = maps(camera, poseIndex);
    cv::remap(m_board.level(view.level), out, view.fixedPoint, view.interpolation, cv::INTER_LINEAR,
              cv::BORDER_CONSTANT, cv::Scalar(BoardImage::kSurround));
}

const cv::Mat& CameraViewRenderer::rays(SimCamera camera) {
    cv::Mat& cached = m_rays[static_cast<size_t>(camera)];
    if (!cached.empty()) {
        return cached;
    }
    const CameraModel& model = m_rig.camera(camera);
    std::vector<cv::Point2f> pixels;
    pixels.reserve(static_cast<size_t>(model.width) * static_cast<size_t>(model.height));
    for (int v = 0; v < model.height; ++v) {
        for (int u = 0; u < model.width; ++u) {
            pixels.emplace_back(static_cast<float>(u), static_cast<float>(v));
        }
    }
    std::vector<cv::Point2f> normalised;
    // More iterations than the default: the outer corners of a wide lens need them
    // for the undistortion to invert the distortion to a small fraction of a pixel.
    cv::undistortPoints(
        pixels, normalised, cv::Mat(model.cameraMatrix()), cv::Mat(model.distortion), cv::noArray(),
        cv::noArray(), cv::TermCriteria(cv::TermCriteria::COUNT | cv::TermCriteria::EPS, 20, 1e-9));
    cached = cv::Mat(normalised, true).reshape(2, model.height);
    return cached;
}

const CameraViewRenderer::ViewMaps& CameraViewRenderer::maps(SimCamera camera, int poseIndex) {
    for (auto it = m_cache.begin(); it != m_cache.end(); ++it) {
        if (it->camera == camera && it->poseIndex == poseIndex) {
            m_cache.splice(m_cache.begin(), m_cache, it);
            return m_cache.front();
        }
    }
    m_cache.push_front(buildMaps(camera, poseIndex));
    if (m_cache.size() > kCacheSize) {
        m_cache.pop_back();
    }
    return m_cache.front();
}

CameraViewRenderer::ViewMaps CameraViewRenderer::buildMaps(SimCamera camera, int poseIndex) {
    const CameraModel& model = m_rig.camera(camera);
    cv::Matx33d R;
    cv::Vec3d t;
    m_rig.boardToCamera(camera, poseIndex, m_board.unitCm(), R, t);
    // A ray s·d from the camera meets the board plane z_board = 0 where
    // (Rᵀ(s·d − t))_z = 0, i.e. s = (Rᵀt)_z / (Rᵀd)_z.
    const cv::Matx33d Rt = R.t();
    const cv::Vec3d camInBoard = Rt * t;

    // Choose the pyramid level from the board's scale at the image centre: how
    // many level-0 board pixels fall on one camera pixel there.
    const double centreDepth = std::abs(t[2]) > 1e-6 ? std::abs(t[2]) : 1.0;
    const double cameraPixelsPerCm = model.fx / centreDepth;
    const double boardPerCamera = m_board.pixelsPerCm() / cameraPixelsPerCm;
    int level = 0;
    while (level + 1 < m_board.levels() && std::ldexp(1.0, level + 1) <= boardPerCamera) {
        ++level;
    }

    const cv::Mat& d = rays(camera);
    cv::Mat mapXY(model.height, model.width, CV_32FC2);
    for (int v = 0; v < model.height; ++v) {
        const cv::Vec2f* rayRow = d.ptr<cv::Vec2f>(v);
        cv::Vec2f* out = mapXY.ptr<cv::Vec2f>(v);
        for (int u = 0; u < model.width; ++u) {
            const cv::Vec3d dir = Rt * cv::Vec3d(rayRow[u][0], rayRow[u][1], 1.0);
            if (std::abs(dir[2]) < 1e-9 || camInBoard[2] / dir[2] <= 0) {
                // Looking away from the board plane: nothing but the room.
                out[u] = cv::Vec2f(-1e4f, -1e4f);
                continue;
            }
            const double s = camInBoard[2] / dir[2];
            const double xCm = s * dir[0] - camInBoard[0];
            const double yCm = s * dir[1] - camInBoard[1];
            const cv::Point2d p = m_board.pixelOf(xCm, yCm, level);
            out[u] = cv::Vec2f(static_cast<float>(p.x), static_cast<float>(p.y));
        }
    }
    ViewMaps view{camera, poseIndex, level, {}, {}};
    cv::convertMaps(mapXY, cv::noArray(), view.fixedPoint, view.interpolation, CV_16SC2);
    return view;
}
