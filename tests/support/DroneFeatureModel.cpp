#include "tests/support/DroneFeatureModel.h"

#include "tools/dronesim/DroneVision.h"
#include "device/wire/FeaturePacket.h"

#include <opencv2/calib3d.hpp>

namespace {

CameraModel cameraModel(const SimulatedCamera& camera, cv::Size size) {
    CameraModel m;
    m.width = size.width;
    m.height = size.height;
    m.fx = camera.K.at<double>(0, 0);
    m.fy = camera.K.at<double>(1, 1);
    m.cx = camera.K.at<double>(0, 2);
    m.cy = camera.K.at<double>(1, 2);
    for (int i = 0; i < 5; ++i) {
        m.distortion[i] = camera.dist.at<double>(i);
    }
    return m;
}

}  // namespace

DroneFeatureModel::DroneFeatureModel(SimulatedRig rig, int pair, DroneFeatureSettings settings)
    : m_rig(std::move(rig)), m_pair(pair), m_settings(settings) {}

FeatureData DroneFeatureModel::feature(int index, int camera) const {
    cv::Mat rvec, tvec;
    simulatedBoardPose(index, m_rig, m_settings.boardUnitCm, rvec, tvec);
    cv::Mat R;
    cv::Rodrigues(rvec, R);
    const SimulatedCamera* cam = &m_rig.left;
    if (camera == 2) {
        R = m_rig.R * R;
        tvec = m_rig.R * tvec + m_rig.T;
        cam = &m_rig.right;
    }
    DroneVisionSettings vision;
    vision.noisePx = m_settings.noisePx;
    vision.stepPx = m_settings.stepPx;
    vision.seed = m_settings.seed;
    return DroneVision::features(cameraModel(*cam, m_rig.imageSize), cv::Matx33d(R),
                                 cv::Vec3d(tvec), m_settings.boardUnitCm, m_pair, camera, index,
                                 vision);
}

QByteArray DroneFeatureModel::packet(int index, int camera) const {
    return FeaturePacket::encode(feature(index, camera));
}
