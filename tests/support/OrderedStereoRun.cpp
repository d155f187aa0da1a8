#include "tests/support/OrderedStereoRun.h"

#include "Calibration/CMyCalculationPicThread.h"
#include "Calibration/ImageData.h"
#include "tests/support/syntheticboard/SyntheticBoardView.h"

#include <QDir>

#include <opencv2/calib3d.hpp>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

namespace {

double worst(const StereoPairJudgement (&pairs)[2]) {
    if (!pairs[0].calibrated || !pairs[1].calibrated) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return std::max(pairs[0].verticalP95Px, pairs[1].verticalP95Px);
}

StereoPairJudgement judgePair(const CameraPair& truth, const PairDiagnostics& d) {
    if (d.R.empty() || d.T.empty() || d.left.refinedIntrinsics.empty() ||
        d.right.refinedIntrinsics.empty()) {
        return {};
    }
    StereoPairJudgement j =
        OrderedStereoRun::judge(truth, d.left.refinedIntrinsics, d.left.refinedDistortion,
                                d.right.refinedIntrinsics, d.right.refinedDistortion, d.R, d.T);
    j.calibrated = d.stop == PairDiagnostics::Stop::Passed;
    return j;
}

// Points, in the order the truth lists them, mapped back into the image the
// way the ordering task does (H inverted, then applied).
std::vector<cv::Point2f> toImage(const std::vector<cv::Point2f>& sent, const cv::Mat& H) {
    cv::Mat inverse;
    cv::invert(H, inverse, cv::DECOMP_LU);
    std::vector<cv::Point3f> homogeneous;
    cv::transform(sent, homogeneous, inverse);
    std::vector<cv::Point2f> image;
    cv::convertPointsFromHomogeneous(homogeneous, image);
    return image;
}

}  // namespace

double StereoRunOutcome::worstOrdered() const {
    return worst(ordered);
}

double StereoRunOutcome::worstTruth() const {
    return worst(truth);
}

namespace OrderedStereoRun {

StereoPairJudgement judge(const CameraPair& truth, const cv::Mat& leftK, const cv::Mat& leftDist,
                          const cv::Mat& rightK, const cv::Mat& rightDist, const cv::Mat& R,
                          const cv::Mat& T) {
    const cv::Size size(truth.left.width, truth.left.height);
    cv::Mat R1, R2, P1, P2, Q;
    cv::stereoRectify(leftK, leftDist, rightK, rightDist, size, R, T, R1, R2, P1, P2, Q,
                      cv::CALIB_ZERO_DISPARITY, 0, size);

    // True correspondences: rays through a grid of left pixels, cut at
    // several depths, projected exactly into both cameras.
    std::vector<cv::Point2f> grid;
    for (int y = 0; y < size.height; y += 16) {
        for (int x = 0; x < size.width; x += 16) {
            grid.emplace_back(static_cast<float>(x), static_cast<float>(y));
        }
    }
    const cv::Mat trueLeftK(truth.left.cameraMatrix());
    const cv::Mat trueRightK(truth.right.cameraMatrix());
    std::vector<cv::Point2f> rays;
    cv::undistortPoints(grid, rays, trueLeftK, truth.left.distortion);
    std::vector<cv::Point3f> world;
    for (const double depth : {25.0, 50.0, 100.0, 200.0}) {
        for (const cv::Point2f& r : rays) {
            world.emplace_back(static_cast<float>(r.x * depth), static_cast<float>(r.y * depth),
                               static_cast<float>(depth));
        }
    }
    std::vector<cv::Point2f> left, right;
    cv::projectPoints(world, cv::Vec3d(0, 0, 0), cv::Vec3d(0, 0, 0), trueLeftK,
                      truth.left.distortion, left);
    cv::projectPoints(world, truth.rvec, truth.translation, trueRightK, truth.right.distortion,
                      right);

    auto inside = [&size](const cv::Point2f& p) {
        return p.x >= 0.0f && p.y >= 0.0f && p.x <= size.width - 1 && p.y <= size.height - 1;
    };
    std::vector<cv::Point2f> seenLeft, seenRight;
    for (size_t i = 0; i < left.size(); ++i) {
        if (inside(left[i]) && inside(right[i])) {
            seenLeft.push_back(left[i]);
            seenRight.push_back(right[i]);
        }
    }
    StereoPairJudgement j;
    if (seenLeft.empty()) {
        return j;
    }
    const cv::TermCriteria precise(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, 100, 1e-9);
    std::vector<cv::Point2f> rectLeft, rectRight;
    cv::undistortPoints(seenLeft, rectLeft, leftK, leftDist, R1, P1, precise);
    cv::undistortPoints(seenRight, rectRight, rightK, rightDist, R2, P2, precise);
    std::vector<double> gaps;
    for (size_t i = 0; i < rectLeft.size(); ++i) {
        // Only what the rectified left image shows is used by the depth unit.
        if (inside(rectLeft[i])) {
            gaps.push_back(std::fabs(static_cast<double>(rectLeft[i].y) - rectRight[i].y));
        }
    }
    if (gaps.empty()) {
        return j;
    }
    std::sort(gaps.begin(), gaps.end());
    j.correspondences = gaps.size();
    j.verticalP95Px = gaps[static_cast<size_t>(0.95 * static_cast<double>(gaps.size() - 1))];
    return j;
}

StereoRunOutcome run(const Rig& rig, const StereoRunSettings& settings, const QString& folder) {
    StereoRunOutcome outcome;
    const CMyCalculationPicThread::ScreenMetrics screen{static_cast<float>(settings.screenWidthMm),
                                                        static_cast<float>(settings.screenWidthPx)};
    const float unit =
        CMyCalculationPicThread::gridUnitCm(static_cast<float>(settings.radiusPx), screen);

    auto ordered = std::make_unique<ImageData>();
    auto truth = std::make_unique<ImageData>();
    QDir(folder).mkpath(QStringLiteral("ordered/log"));
    QDir(folder).mkpath(QStringLiteral("truth/log"));
    ordered->setOutputFolder(folder + QStringLiteral("/ordered"));
    truth->setOutputFolder(folder + QStringLiteral("/truth"));
    ordered->startRun();
    truth->startRun();

    DroneVisionSettings vision;
    vision.noisePx = settings.noisePx;
    vision.missingFraction = settings.missingFraction;
    vision.seed = settings.seed;
    for (const SimCamera camera : kAllCameras) {
        const bool downward = pairOf(camera) == SimPair::Downward;
        const int code = isLeft(camera) ? 1 : 2;
        for (int index = 0; index < Rig::kImagesPerCamera; ++index) {
            cv::Matx33d R;
            cv::Vec3d t;
            rig.boardToCamera(camera, index, unit, R, t);
            std::vector<cv::Point> lattice;
            const FeatureData f = DroneVision::features(rig.camera(camera), R, t, unit,
                                                        static_cast<int>(pairOf(camera)), code,
                                                        index, vision, &lattice);
            const int imageIndex = index + (downward ? ImageData::kSlotsPerPair : 0);
            if (f.points.empty()) {
                ++outcome.imagesDropped;
                continue;
            }
            const cv::Mat H = cv::Mat(3, 3, CV_64F, const_cast<double*>(f.mat.data())).clone();

            CMyCalculationPicThread task(0, QString());
            task.setRadius(static_cast<float>(settings.radiusPx));
            task.setStore(ordered.get());
            task.startTask(static_cast<unsigned long>(imageIndex), static_cast<unsigned long>(code),
                           f.points, {f.size[0], f.size[1], f.size[2]}, H, screen);
            task.run();
            outcome.imagesDropped += task.stored() ? 0 : 1;
            for (size_t e = 0; e < task.sortedIndices().size(); ++e) {
                const size_t i = task.sortedIndices()[e];
                (i < lattice.size() && task.sortedGrid()[e] == lattice[i] ? outcome.assigned
                                                                          : outcome.wrong) += 1;
            }

            const std::vector<cv::Point2f> image = toImage(f.points, H);
            ImageData::ImagePoints truthImage;
            ImageData::BoardPoints truthBoard;
            for (size_t i = 0; i < lattice.size(); ++i) {
                if (SyntheticBoardView::isRingCut(lattice[i])) {
                    continue;
                }
                truthImage.push_back(image[i]);
                truthBoard.emplace_back(static_cast<float>(lattice[i].x) * unit,
                                        static_cast<float>(lattice[i].y) * unit, 0.0f);
            }
            outcome.placeable += truthImage.size();
            truth->storeSorted(imageIndex, code, truthImage, truthBoard);
        }
    }

    ordered->calibrateRun();
    truth->calibrateRun();
    outcome.ordered[0] = judgePair(rig.forward, ordered->m_diagnostics.forward);
    outcome.ordered[1] = judgePair(rig.downward, ordered->m_diagnostics.downward);
    outcome.truth[0] = judgePair(rig.forward, truth->m_diagnostics.forward);
    outcome.truth[1] = judgePair(rig.downward, truth->m_diagnostics.downward);
    return outcome;
}

Rig generatedRig(std::uint64_t seed) {
    std::mt19937_64 rng(0x5717e0ULL + seed * 7919ULL);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    auto between = [&](double low, double high) { return low + (high - low) * unit(rng); };

    Rig rig = Rig::defaults();
    for (CameraPair* pair : {&rig.forward, &rig.downward}) {
        const double baseline = pair == &rig.forward ? 5.9 : 3.9;
        for (CameraModel* camera : {&pair->left, &pair->right}) {
            camera->fx = between(380.0, 470.0);
            camera->fy = camera->fx * between(0.995, 1.005);
            camera->cx = (camera->width - 1) * 0.5 + between(-12.0, 12.0);
            camera->cy = (camera->height - 1) * 0.5 + between(-12.0, 12.0);
            camera->distortion = cv::Vec<double, 5>(between(-0.25, -0.03), between(0.0, 0.12),
                                                    between(-0.001, 0.001), between(-0.001, 0.001),
                                                    between(-0.04, 0.0));
        }
        pair->rvec = cv::Vec3d(between(-0.01, 0.01), between(-0.01, 0.01), between(-0.01, 0.01));
        pair->translation =
            cv::Vec3d(-baseline * between(0.99, 1.01), between(-0.05, 0.05), between(-0.05, 0.05));
        for (DronePose& pose : pair->poses) {
            pose.rvec +=
                cv::Vec3d(between(-0.05, 0.05), between(-0.05, 0.05), between(-0.05, 0.05));
            pose.tvec += cv::Vec3d(between(-1.5, 1.5), between(-1.5, 1.5), 0.0);
            pose.tvec[2] *= between(0.93, 1.07);
        }
    }
    return rig;
}

}  // namespace OrderedStereoRun
