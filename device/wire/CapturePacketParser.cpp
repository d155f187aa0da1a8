#include "device/wire/CapturePacketParser.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int kLastFrame = 5;
constexpr int kLastLeftImage = 12;
constexpr int kLastImage = 25;
constexpr int kImagesPerCamera = 13;
constexpr double kCoordinateLimit = 16777216.0;  // 2^24

int truncateToInt(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    return static_cast<int>(std::trunc(std::clamp(v, -kCoordinateLimit, kCoordinateLimit)));
}

QRect circleRect(const IMAGE::Circle& c) {
    const double half = c.size * 0.5;
    return QRect(truncateToInt(c.x - half), truncateToInt(c.y - half), truncateToInt(c.size),
                 truncateToInt(c.size));
}

}  // namespace

std::optional<FlightGuidance::FlightState> CapturePacketParser::guidance(
    const IMAGE::ImageData& data) {
    const double ratio = static_cast<double>(data.ratio);
    const bool tooClose = ratio > kTooCloseRatio;
    const bool tooFar = !tooClose && ratio < kTooFarRatio;
    if (tooClose || tooFar) {
        const int before = m_nFarNear;
        if (m_nFarNear < std::numeric_limits<int>::max()) {
            ++m_nFarNear;
        }
        if (before < kSilentOutOfRange) {
            return std::nullopt;
        }
        if (tooClose) {
            qDebug() << "发送过远信号";
            return FlightGuidance::MoveAway;
        }
        qDebug() << "发送过近信号";
        return FlightGuidance::MoveCloser;
    }

    m_nFarNear = 0;
    if (data.rotation > 0) {
        qDebug() << "逆时针";
        return FlightGuidance::CounterClockwise;
    }
    if (data.rotation < 0) {
        qDebug() << "顺时针";
        return FlightGuidance::Clockwise;
    }
    return FlightGuidance::Normal;
}

CaptureEvents CapturePacketParser::packetParser(const QByteArray& packet, bool isDownView,
                                                bool isRightView) {
    CaptureEvents events;
    IMAGE::ImageData data;
    if (!IMAGE::ImageData::fromBytes(packet, &data)) {
        qDebug() << "capture channel: status packet of" << packet.size() << "bytes ignored";
        return events;
    }

    events.state = guidance(data);

    if (data.pos == 1 && data.frame == kLastFrame) {
        events.imageIndex = data.index;
    }

    if (data.index == kLastImage && data.frame == kLastFrame) {
        qDebug() << "index" << data.index << "frame" << data.frame;
        if (!isDownView) {
            events.forwardFinished = true;
        } else if (isRightView) {
            events.downwardFinished = true;
        }
        return events;
    }

    if (data.index == kLastLeftImage && data.frame == kLastFrame) {
        if (isRightView) {
            return events;
        }
        if (isDownView) {
            qDebug() << "下视左切右";
            events.cameraSwitch = CaptureEvents::CameraSwitch::ToDownwardRight;
        } else {
            qDebug() << "前视左切右";
            events.cameraSwitch = CaptureEvents::CameraSwitch::ToForwardRight;
        }
        return events;
    }

    events.circles = featureCircle(data, isDownView);
    return events;
}

CirclePositions CapturePacketParser::featureCircle(const IMAGE::ImageData& data, bool isDownView) {
    CirclePositions out;
    out.c1 = circleRect(data.circles[0]);
    out.c2 = circleRect(data.circles[1]);
    out.c3 = circleRect(data.circles[2]);
    out.pos = data.pos;
    out.frame = data.frame;
    out.index = data.index % kImagesPerCamera;
    out.isDownView = isDownView;
    return out;
}
