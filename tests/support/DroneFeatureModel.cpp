#include "DroneFeatureModel.h"

#include "FeaturePacket.h"

#include <opencv2/calib3d.hpp>

#include <algorithm>
#include <numeric>
#include <random>

namespace {

const cv::Point kMarks[3] = {{11, 12}, {15, 12}, {12, 7}};
constexpr double kMarginPx = 2.0;

}  // namespace

DroneFeatureModel::DroneFeatureModel(SimulatedRig rig, int pair, DroneFeatureSettings settings)
    : m_rig(std::move(rig)), m_pair(pair), m_settings(settings) {}

std::vector<cv::Point> DroneFeatureModel::boardCircles() {
    std::vector<cv::Point> circles;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 27; ++x) {
            if ((x + y) % 2 == 1) {
                circles.emplace_back(x, y);
            }
        }
    }
    return circles;
}

FeatureData DroneFeatureModel::feature(int index, int camera) const {
    const std::vector<cv::Point> lattice = boardCircles();
    std::vector<cv::Point3f> board;
    for (const cv::Point& q : lattice) {
        board.emplace_back(static_cast<float>(q.x) * m_settings.boardUnitCm,
                           static_cast<float>(q.y) * m_settings.boardUnitCm, 0.0f);
    }

    cv::Mat rvec, tvec;
    simulatedBoardPose(index, m_rig, m_settings.boardUnitCm, rvec, tvec);
    const SimulatedCamera* cam = &m_rig.left;
    if (camera == 2) {
        cv::Mat Rl;
        cv::Rodrigues(rvec, Rl);
        cv::Rodrigues(m_rig.R * Rl, rvec);
        tvec = m_rig.R * tvec + m_rig.T;
        cam = &m_rig.right;
    }
    std::vector<cv::Point2f> projected;
    cv::projectPoints(board, rvec, tvec, cam->K, cam->dist, projected);

    std::mt19937_64 rng(m_settings.seed * 1000003u + static_cast<std::uint64_t>(m_pair) * 101u +
                        static_cast<std::uint64_t>(index) * 7u +
                        static_cast<std::uint64_t>(camera));
    std::normal_distribution<double> noise(0.0, m_settings.noisePx);

    std::vector<cv::Point2f> seen;
    std::vector<cv::Point> seenLattice;
    for (size_t i = 0; i < projected.size(); ++i) {
        const cv::Point2f p(static_cast<float>(projected[i].x + noise(rng)),
                            static_cast<float>(projected[i].y + noise(rng)));
        if (p.x < kMarginPx || p.y < kMarginPx || p.x > m_rig.imageSize.width - 1 - kMarginPx ||
            p.y > m_rig.imageSize.height - 1 - kMarginPx) {
            continue;
        }
        seen.push_back(p);
        seenLattice.push_back(lattice[i]);
    }

    std::vector<size_t> order(seen.size());
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), rng);
    std::vector<cv::Point2f> image;
    std::vector<cv::Point> truth;
    for (size_t i : order) {
        image.push_back(seen[i]);
        truth.push_back(seenLattice[i]);
    }
    // Index 0 reads as "mark not found": keep marks off it.
    for (size_t i = 0; i < truth.size(); ++i) {
        const bool isMark = std::any_of(std::begin(kMarks), std::end(kMarks),
                                        [&](const cv::Point& m) { return m == truth[0]; });
        if (!isMark) {
            break;
        }
        std::swap(image[0], image[image.size() - 1 - i]);
        std::swap(truth[0], truth[truth.size() - 1 - i]);
    }

    FeatureData data;
    data.head = 0x0201;
    data.view = static_cast<std::uint8_t>(m_pair);
    data.view1 = static_cast<std::uint8_t>(camera);
    data.index = static_cast<std::uint32_t>(index);
    if (image.size() < 4) {
        return data;
    }

    std::vector<cv::Point2f> frame;
    for (const cv::Point& q : truth) {
        frame.emplace_back(static_cast<float>(40.0 + q.x * m_settings.stepPx),
                           static_cast<float>(40.0 + q.y * m_settings.stepPx));
    }
    const cv::Mat H = cv::findHomography(image, frame, 0);
    cv::perspectiveTransform(image, data.points, H);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            data.mat[static_cast<size_t>(r * 3 + c)] = H.at<double>(r, c);
        }
    }
    for (int m = 0; m < 3; ++m) {
        const auto it = std::find(truth.begin(), truth.end(), kMarks[m]);
        data.size[static_cast<size_t>(m)] =
            it == truth.end() ? 0u : static_cast<std::uint64_t>(it - truth.begin());
    }
    return data;
}

QByteArray DroneFeatureModel::packet(int index, int camera) const {
    return FeaturePacket::encode(feature(index, camera));
}
