#include "tools/dronesim/CaptureTimeline.h"

#include "tools/dronesim/BoardImage.h"
#include "tools/dronesim/DroneVision.h"
#include "tools/dronesim/SimLog.h"
#include "device/wire/StatusPacket.h"

#include <QTimer>

#include <opencv2/calib3d.hpp>

#include <cmath>

namespace {

const QString kService = QStringLiteral("capture");
constexpr int kApproachFrames = 4;
constexpr int kStretchPackets = 12;  // more than the desktop's ten before it warns

enum class Approach { Normal, TooNear, TooFar, Clockwise, CounterClockwise };

// Which images are approached badly; different for the two pairs so that a run
// shows every kind of guidance in both.
Approach approachOf(SimPair pair, int index) {
    const int shift = pair == SimPair::Forward ? 0 : 1;
    switch ((index + shift) % 9) {
        case 3:
            return Approach::TooNear;
        case 5:
            return Approach::Clockwise;
        case 6:
            return Approach::TooFar;
        case 8:
            return Approach::CounterClockwise;
        default:
            return Approach::Normal;
    }
}

SimCamera cameraFor(SimPair pair, int index) {
    const bool left = index <= CaptureTimeline::kLastLeftImage;
    if (pair == SimPair::Forward) {
        return left ? SimCamera::ForwardLeft : SimCamera::ForwardRight;
    }
    return left ? SimCamera::DownwardLeft : SimCamera::DownwardRight;
}

}  // namespace

CaptureTimeline::CaptureTimeline(DroneState& state, const Rig& rig, double unitCm,
                                 int imageIntervalMs, QObject* parent)
    : QObject(parent),
      m_state(state),
      m_rig(rig),
      m_unitCm(unitCm),
      m_imageIntervalMs(imageIntervalMs),
      m_timer(new QTimer(this)) {
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setInterval(std::max(1, imageIntervalMs / (kApproachFrames + 1)));
    connect(m_timer, &QTimer::timeout, this, &CaptureTimeline::tick);
}

void CaptureTimeline::start(SimPair pair) {
    m_pair = pair;
    m_index = 0;
    m_state.setPhase(pair == SimPair::Forward ? RunPhase::CaptureForward
                                              : RunPhase::CaptureDownward);
    m_state.setCapturePosition(cameraFor(pair, 0), 0);
    m_pending = imagePackets(pair, 0);
    m_timer->start();
}

void CaptureTimeline::stop() {
    m_timer->stop();
    m_pending.clear();
}

bool CaptureTimeline::isRunning() const {
    return m_timer->isActive();
}

void CaptureTimeline::tick() {
    if (m_pending.isEmpty()) {
        return;
    }
    const QByteArray packet = m_pending.takeFirst();
    emit statusPacket(packet);
    if (!m_pending.isEmpty()) {
        return;
    }
    // The last packet of an image is its shot.
    const SimCamera camera = cameraFor(m_pair, m_index);
    m_state.recordImageTaken(camera, m_index);
    if (m_index == Rig::kImagesPerCamera - 1) {
        m_timer->stop();
        SimLog::event(kService, QStringLiteral("%1 pair finished")
                                    .arg(m_pair == SimPair::Forward ? "forward" : "downward"));
        if (m_pair == SimPair::Downward) {
            m_state.setPhase(RunPhase::Uploading);
        }
        emit pairFinished(m_pair);
        return;
    }
    ++m_index;
    m_state.setCapturePosition(cameraFor(m_pair, m_index), m_index);
    m_pending = imagePackets(m_pair, m_index);
}

QVector<QByteArray> CaptureTimeline::imagePackets(SimPair pair, int index) const {
    const SimCamera camera = cameraFor(pair, index);
    const CameraModel& model = m_rig.camera(camera);
    cv::Matx33d R;
    cv::Vec3d t;
    m_rig.boardToCamera(camera, index, m_unitCm, R, t);

    std::vector<cv::Point3d> marks;
    for (const cv::Point& m : DroneVision::markOrder()) {
        marks.emplace_back(m.x * m_unitCm, m.y * m_unitCm, 0.0);
    }
    cv::Vec3d rvec;
    cv::Rodrigues(R, rvec);
    std::vector<cv::Point2d> image;
    cv::projectPoints(marks, rvec, t, model.cameraMatrix(), model.distortion, image);

    IMAGE::ImageData base;
    base.index = index;
    for (size_t i = 0; i < 3; ++i) {
        const cv::Vec3d inCamera = R * cv::Vec3d(marks[i].x, marks[i].y, 0.0) + t;
        // The circle's diameter (one lattice step) seen at its depth.
        const double diameter = model.fx * m_unitCm / std::max(1.0, inCamera[2]);
        base.circles[i] = {static_cast<float>(image[i].x), static_cast<float>(image[i].y),
                           static_cast<float>(diameter)};
    }
    // How large the board looks against the size the drone aims for, from the
    // distance of the board centre: near 1 at the nominal 38 cm.
    const double depth = cv::norm(m_rig.pair(pairOf(camera)).poses.at(size_t(index)).tvec);
    const float inRange = static_cast<float>(std::clamp(38.0 / depth, 0.75, 1.02));

    QVector<QByteArray> packets;
    const Approach approach = approachOf(pair, index);
    auto add = [&](int frame, int pos, float ratio, int rotation) {
        IMAGE::ImageData p = base;
        p.frame = frame;
        p.pos = pos;
        p.ratio = ratio;
        p.rotation = rotation;
        packets.append(p.toBytes());
    };
    if (approach == Approach::TooNear || approach == Approach::TooFar) {
        for (int i = 0; i < kStretchPackets; ++i) {
            add(1, 0, approach == Approach::TooNear ? 1.25f : 0.6f, 0);
        }
    }
    const int turn = approach == Approach::Clockwise          ? -1
                     : approach == Approach::CounterClockwise ? 1
                                                              : 0;
    for (int frame = 1; frame <= kApproachFrames; ++frame) {
        add(frame, frame <= 2 ? 0 : 1, inRange, frame <= 3 ? turn : 0);
    }
    add(kShotFrame, 1, inRange, 0);
    return packets;
}
