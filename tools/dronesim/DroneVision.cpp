#include "tools/dronesim/DroneVision.h"

#include "tools/dronesim/BoardImage.h"

#include <opencv2/calib3d.hpp>

#include <algorithm>
#include <numeric>
#include <random>

namespace {

constexpr double kMarginPx = 2.0;
constexpr double kFrameOriginPx = 40.0;

bool isMark(const cv::Point& q) {
    const auto& marks = DroneVision::markOrder();
    return std::find(marks.begin(), marks.end(), q) != marks.end();
}

}  // namespace

const std::array<cv::Point, 3>& DroneVision::markOrder() {
    static const std::array<cv::Point, 3> kMarks = {{{11, 12}, {15, 12}, {12, 7}}};
    return kMarks;
}

FeatureData DroneVision::features(const CameraModel& model, const cv::Matx33d& R,
                                  const cv::Vec3d& t, double unitCm, int pair, int camera,
                                  int index, const DroneVisionSettings& settings,
                                  std::vector<cv::Point>* truthOut) {
    if (truthOut) {
        truthOut->clear();
    }
    const std::vector<cv::Point> lattice = BoardLayout::circles();
    std::vector<cv::Point3f> board;
    for (const cv::Point& q : lattice) {
        board.emplace_back(static_cast<float>(q.x * unitCm), static_cast<float>(q.y * unitCm),
                           0.0f);
    }
    cv::Vec3d rvec;
    cv::Rodrigues(R, rvec);
    std::vector<cv::Point2f> projected;
    cv::projectPoints(board, rvec, t, model.cameraMatrix(), model.distortion, projected);

    std::mt19937_64 rng(settings.seed * 1000003u + static_cast<std::uint64_t>(pair) * 101u +
                        static_cast<std::uint64_t>(index) * 7u +
                        static_cast<std::uint64_t>(camera));
    // A separate stream decides the misses, so that enabling them leaves the
    // noise of the circles that remain unchanged.
    std::mt19937_64 missRng(settings.seed * 2654435761u + static_cast<std::uint64_t>(pair) * 131u +
                            static_cast<std::uint64_t>(index) * 17u +
                            static_cast<std::uint64_t>(camera) + 1u);
    std::normal_distribution<double> noise(0.0, settings.noisePx);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);

    std::vector<cv::Point2f> seen;
    std::vector<cv::Point> seenLattice;
    for (size_t i = 0; i < projected.size(); ++i) {
        const cv::Point2f p(static_cast<float>(projected[i].x + noise(rng)),
                            static_cast<float>(projected[i].y + noise(rng)));
        if (p.x < kMarginPx || p.y < kMarginPx || p.x > model.width - 1 - kMarginPx ||
            p.y > model.height - 1 - kMarginPx) {
            continue;
        }
        const bool mark = isMark(lattice[i]);
        if (mark && settings.hideMarks) {
            continue;
        }
        if (!mark && settings.missingFraction > 0 && uniform(missRng) < settings.missingFraction) {
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
    for (size_t i = 0; i < truth.size() && isMark(truth[0]); ++i) {
        std::swap(image[0], image[image.size() - 1 - i]);
        std::swap(truth[0], truth[truth.size() - 1 - i]);
    }

    FeatureData data;
    data.head = 0x0201;
    data.view = static_cast<std::uint8_t>(pair);
    data.view1 = static_cast<std::uint8_t>(camera);
    data.index = static_cast<std::uint32_t>(index);
    if (image.size() < 4) {
        return data;
    }

    std::vector<cv::Point2f> frame;
    for (const cv::Point& q : truth) {
        frame.emplace_back(static_cast<float>(kFrameOriginPx + q.x * settings.stepPx),
                           static_cast<float>(kFrameOriginPx + q.y * settings.stepPx));
    }
    const cv::Mat H = cv::findHomography(image, frame, 0);
    if (H.empty()) {
        return data;
    }
    if (truthOut) {
        *truthOut = truth;
    }
    cv::perspectiveTransform(image, data.points, H);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            data.mat[static_cast<size_t>(r * 3 + c)] = H.at<double>(r, c);
        }
    }
    for (size_t m = 0; m < 3; ++m) {
        const auto it = std::find(truth.begin(), truth.end(), markOrder()[m]);
        data.size[m] = it == truth.end() ? 0u : static_cast<std::uint64_t>(it - truth.begin());
    }
    return data;
}
