#include "tools/dronesim/Rig.h"

#include "tools/dronesim/BoardImage.h"

#include <opencv2/calib3d.hpp>

#include <cmath>

namespace {

constexpr double kDegree = CV_PI / 180.0;

cv::Matx33d rotationFromAngles(double pitch, double yaw, double roll) {
    const cv::Matx33d rx(1, 0, 0, 0, std::cos(pitch), -std::sin(pitch), 0, std::sin(pitch),
                         std::cos(pitch));
    const cv::Matx33d ry(std::cos(yaw), 0, std::sin(yaw), 0, 1, 0, -std::sin(yaw), 0,
                         std::cos(yaw));
    const cv::Matx33d rz(std::cos(roll), -std::sin(roll), 0, std::sin(roll), std::cos(roll), 0, 0,
                         0, 1);
    return rz * ry * rx;
}

cv::Vec3d rodrigues(const cv::Matx33d& R) {
    cv::Vec3d rvec;
    cv::Rodrigues(R, rvec);
    return rvec;
}

// 26 poses that a person would produce by moving the drone in front of the
// screen: tilts up to about 25 degrees about both axes (what makes the focal
// lengths observable), distances from about 24 to 32 cm, small rolls, and three
// views pushed sideways so that part of the board leaves the picture while the
// marks stay in it. `halfSpanCm` is how far sideways the pushed views go.
std::vector<DronePose> poseSweep(double phase, double halfSpanCm) {
    std::vector<DronePose> poses;
    for (int i = 0; i < Rig::kImagesPerCamera; ++i) {
        const double k = i + phase;
        const double pitch = 22.0 * kDegree * std::sin(0.9 * k + 0.3);
        const double yaw = 24.0 * kDegree * std::cos(1.3 * k + 0.7);
        const double roll = 6.0 * kDegree * std::sin(2.1 * k);
        double distance = 28.0 + 4.0 * std::sin(0.7 * k + 1.0);
        cv::Vec3d offset(2.5 * std::sin(1.7 * k), 2.0 * std::cos(1.1 * k), 0.0);
        if (i == 6 || i == 14 || i == 22) {
            offset[0] = (i == 14 ? -1.0 : 1.0) * halfSpanCm;
            distance = 26.0;
        }
        DronePose pose;
        pose.rvec = rodrigues(rotationFromAngles(pitch, yaw, roll));
        pose.tvec = cv::Vec3d(offset[0], offset[1], distance);
        poses.push_back(pose);
    }
    return poses;
}

}  // namespace

Rig Rig::defaults() {
    Rig rig;

    CameraModel fl;
    fl.width = 480;
    fl.height = 640;
    fl.fx = 431.6;
    fl.fy = 430.9;
    fl.cx = 238.7;
    fl.cy = 322.4;
    fl.distortion = cv::Vec<double, 5>(-0.071, 0.094, 0.0006, -0.0004, -0.032);
    CameraModel fr = fl;
    fr.fx = 428.9;
    fr.fy = 428.1;
    fr.cx = 242.6;
    fr.cy = 317.9;
    fr.distortion = cv::Vec<double, 5>(-0.066, 0.087, -0.0003, 0.0005, -0.027);
    rig.forward.left = fl;
    rig.forward.right = fr;
    rig.forward.rvec = cv::Vec3d(0.0042, -0.0061, 0.0018);
    rig.forward.translation = cv::Vec3d(-5.9, 0.021, -0.034);
    rig.forward.poses = poseSweep(0.0, 7.0);

    CameraModel dl;
    dl.width = 640;
    dl.height = 480;
    dl.fx = 426.2;
    dl.fy = 425.7;
    dl.cx = 321.8;
    dl.cy = 236.5;
    dl.distortion = cv::Vec<double, 5>(-0.058, 0.079, 0.0004, 0.0002, -0.025);
    CameraModel dr = dl;
    dr.fx = 424.5;
    dr.fy = 424.0;
    dr.cx = 317.1;
    dr.cy = 242.3;
    dr.distortion = cv::Vec<double, 5>(-0.062, 0.083, -0.0005, 0.0003, -0.029);
    rig.downward.left = dl;
    rig.downward.right = dr;
    rig.downward.rvec = cv::Vec3d(-0.0035, 0.0052, -0.0011);
    rig.downward.translation = cv::Vec3d(-3.9, -0.017, 0.026);
    rig.downward.poses = poseSweep(0.45, 11.0);
    return rig;
}

void Rig::boardToCamera(SimCamera camera, int poseIndex, double unitCm, cv::Matx33d& R,
                        cv::Vec3d& t) const {
    const CameraPair& p = pair(pairOf(camera));
    const DronePose& pose = p.poses.at(static_cast<size_t>(poseIndex));
    cv::Matx33d poseR;
    cv::Rodrigues(pose.rvec, poseR);
    const cv::Vec3d centre = BoardLayout::centreCm(unitCm);
    R = poseR;
    t = pose.tvec - poseR * centre;
    if (!isLeft(camera)) {
        cv::Matx33d stereoR;
        cv::Rodrigues(p.rvec, stereoR);
        R = stereoR * R;
        t = stereoR * t + p.translation;
    }
}

namespace {

std::string checkCamera(const CameraModel& c, const std::string& name) {
    if (c.width <= 0 || c.height <= 0 || c.width > 4096 || c.height > 4096) {
        return name + ": image size must be between 1 and 4096 pixels";
    }
    if (!(c.fx > 0) || !(c.fy > 0)) {
        return name + ": focal lengths must be positive";
    }
    for (int i = 0; i < 5; ++i) {
        if (!std::isfinite(c.distortion[i])) {
            return name + ": distortion coefficients must be finite";
        }
    }
    return {};
}

}  // namespace

std::string Rig::validate() const {
    const struct {
        const CameraPair* pair;
        const char* name;
    } pairs[] = {{&forward, "forward"}, {&downward, "downward"}};
    for (const auto& entry : pairs) {
        const std::string name = entry.name;
        std::string problem = checkCamera(entry.pair->left, name + " left");
        if (problem.empty()) {
            problem = checkCamera(entry.pair->right, name + " right");
        }
        if (!problem.empty()) {
            return problem;
        }
        if (entry.pair->left.width != entry.pair->right.width ||
            entry.pair->left.height != entry.pair->right.height) {
            return name + ": both cameras of a pair must have the same image size";
        }
        if (entry.pair->poses.size() != static_cast<size_t>(kImagesPerCamera)) {
            return name + ": needs exactly " + std::to_string(kImagesPerCamera) + " poses";
        }
        for (const DronePose& pose : entry.pair->poses) {
            if (!(pose.tvec[2] > 0)) {
                return name + ": every pose must put the board in front of the camera (tvec z > 0)";
            }
        }
    }
    return {};
}
