#include "tools/dronesim/DataChannelService.h"

#include "tools/dronesim/DroneState.h"
#include "device/wire/FeaturePacket.h"
#include "tools/dronesim/SimLog.h"
#include "tools/dronesim/UploadVerifier.h"

#include <QFile>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QtEndian>

DataChannelService::DataChannelService(DroneState& state, const Rig& rig, Config config,
                                       QObject* parent)
    : TcpSimService(QStringLiteral("data"), kPort, state, parent),
      m_state(state),
      m_rig(rig),
      m_config(std::move(config)) {
    connect(&m_state, &DroneState::imageTaken, this, &DataChannelService::onImageTaken);
    connect(&m_state, &DroneState::phaseChanged, this, [this](RunPhase phase) {
        if (phase == RunPhase::Rebooting) {
            onReboot();
        }
    });
}

void DataChannelService::onReboot() {
    if (!m_upload || !m_upload->sawRight()) {
        return;
    }
    // What the kernel already holds has arrived, even if not read yet.
    while (m_socket && m_socket->waitForReadyRead(0)) {
    }
    if (m_filesLogged == 4) {
        SimLog::event(name(), QStringLiteral("reboot: all four maps had arrived before it"));
        return;
    }
    SimLog::event(name(), QStringLiteral("reboot before the upload was complete: %1 of 4 maps "
                                         "had arrived")
                              .arg(m_filesLogged));
    if (!m_verified) {
        finishUpload(QStringLiteral("reboot during the upload"));
    }
}

QByteArray DataChannelService::featurePacket(SimCamera camera, int index) const {
    const bool scaled = m_config.boardScaleInRun == 0 || m_config.boardScaleInRun == m_runs;
    const double unit = m_config.unitCm * (scaled ? m_config.boardScale : 1.0);
    cv::Matx33d R;
    cv::Vec3d t;
    m_rig.boardToCamera(camera, index, unit, R, t);
    const FeatureData data =
        DroneVision::features(m_rig.camera(camera), R, t, unit, static_cast<int>(pairOf(camera)),
                              isLeft(camera) ? 1 : 2, index, m_config.vision);
    return FeaturePacket::encode(data);
}

void DataChannelService::onConnection(QTcpSocket* socket) {
    m_socket = socket;
    m_writer = new PieceWriter(socket, m_config.pieces, 2 * m_connections++ + 1);
    m_started = false;
    m_command.clear();
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onBytes(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        if (socket == m_socket && m_upload && !m_verified &&
            m_state.phase() == RunPhase::Uploading) {
            finishUpload(QStringLiteral("disconnected"));
        }
    });
}

void DataChannelService::onBytes(QTcpSocket* socket) {
    const QByteArray bytes = socket->readAll();
    if (socket != m_socket) {
        return;
    }
    if (!m_started) {
        m_command += bytes;
        const int at = m_command.indexOf("start");
        if (at < 0) {
            m_command = m_command.right(4);  // a "start" split across reads
            return;
        }
        SimLog::event(name(), QStringLiteral("start"));
        m_started = true;
        ++m_runs;
        m_upload =
            std::make_unique<UploadStreamParser>(UploadVerifier::mapFileSize(m_rig.forward.left));
        m_loggedVerdict = false;
        m_verified = false;
        m_filesLogged = 0;
        const QByteArray rest = m_command.mid(at + 5);
        m_command.clear();
        if (rest.isEmpty()) {
            return;
        }
        m_upload->feed(rest);
    } else {
        m_upload->feed(bytes);
    }
    if (!m_loggedVerdict && (m_upload->sawRight() || m_upload->sawWrong())) {
        m_loggedVerdict = true;
        SimLog::event(name(),
                      m_upload->sawRight() ? QStringLiteral("right") : QStringLiteral("wrong"));
    }
    while (m_filesLogged < m_upload->uploads().size() &&
           m_upload->uploads().at(m_filesLogged).file.size() ==
               UploadVerifier::mapFileSize(m_rig.forward.left)) {
        SimLog::event(name(), QStringLiteral("result %1 and its map file received")
                                  .arg(m_upload->uploads().at(m_filesLogged).result.typeCode()));
        ++m_filesLogged;
    }
    if (m_upload->malformed()) {
        SimLog::event(name(), QStringLiteral("malformed upload"));
    }
    if (m_upload->sawQuit()) {
        SimLog::event(name(), QStringLiteral("quit"));
    }
    const bool complete =
        m_filesLogged == 4 || m_upload->sawWrong() || m_upload->sawQuit() || m_upload->malformed();
    if (complete && !m_verified &&
        (m_upload->sawRight() || m_upload->sawWrong() || m_upload->malformed())) {
        finishUpload(QStringLiteral("upload complete"));
    }
    if (m_upload->sawQuit()) {
        m_started = false;
    }
}

void DataChannelService::onImageTaken(SimCamera camera, int index) {
    if (!m_started || !m_socket) {
        return;
    }
    const int global = index + (pairOf(camera) == SimPair::Downward ? Rig::kImagesPerCamera : 0);
    if (global == m_config.closeAtImage &&
        (m_config.closeInRun == 0 || m_config.closeInRun == m_runs)) {
        SimLog::fault(name(), QStringLiteral("channel closed at image %1").arg(global));
        m_socket->abort();
        m_started = false;
        return;
    }
    const SimCamera left =
        pairOf(camera) == SimPair::Forward ? SimCamera::ForwardLeft : SimCamera::DownwardLeft;
    const SimCamera right =
        pairOf(camera) == SimPair::Forward ? SimCamera::ForwardRight : SimCamera::DownwardRight;
    const bool last = global == 2 * Rig::kImagesPerCamera - 1;
    if (last && m_config.withholdLastInRun >= 0 &&
        (m_config.withholdLastInRun == 0 || m_config.withholdLastInRun == m_runs)) {
        m_socket->write(featurePacket(left, index));
        SimLog::fault(
            name(),
            QStringLiteral("last feature packet (image %1, right camera) withheld").arg(global));
        return;
    }
    const QByteArray packets = featurePacket(left, index) + featurePacket(right, index);
    if (m_config.garbage) {
        writeWithGarbage(packets, global);
    } else {
        m_writer->write(packets);
    }
    SimLog::event(name(), QStringLiteral("features of image %1 sent").arg(global));
    if (last) {
        SimLog::event(name(), QStringLiteral("last feature packet sent"));
    }
}

namespace {

// The length field of the packet at `start` of well-formed packets.
int packetLength(const QByteArray& packets, int start) {
    const auto* b = reinterpret_cast<const uchar*>(packets.constData()) + start;
    return static_cast<int>(qFromLittleEndian<quint32>(b + 8));
}

}  // namespace

void DataChannelService::writeWithGarbage(const QByteArray& packets, int global) {
    auto uniform = [this](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(m_garbageRng);
    };
    switch (uniform(0, 2)) {
        case 0: {
            // Junk that never begins with the head.
            QByteArray junk(uniform(1, 40), '\0');
            for (char& c : junk) {
                c = static_cast<char>(uniform(0x20, 0x7e));
            }
            m_writer->write(junk);
            m_socket->flush();
            SimLog::fault(
                name(),
                QStringLiteral("%1 junk bytes before image %2").arg(junk.size()).arg(global));
            break;
        }
        case 1: {
            // A header claiming far more than any packet, then a tail.
            QByteArray bad = FeaturePacket::encodeIgnored();
            const quint32 len = 0x7ffffff0u;
            for (int i = 0; i < 4; ++i) {
                bad[8 + i] = static_cast<char>((len >> (8 * i)) & 0xff);
            }
            m_writer->write(bad);
            m_socket->flush();
            SimLog::fault(name(), QStringLiteral("bad length field before image %1").arg(global));
            break;
        }
        default:
            break;
    }
    // Each packet in pieces of any size.
    QStringList cuts;
    for (int start = 0; start < packets.size();) {
        const int len = std::min<int>(packetLength(packets, start), packets.size() - start);
        for (int at = 0; at < len;) {
            const int n = std::min(len - at, uniform(1, 1500));
            m_writer->write(packets.mid(start + at, n));
            m_socket->flush();
            at += n;
            cuts << QString::number(start + at);
        }
        start += len;
    }
    SimLog::fault(name(), QStringLiteral("image %1 features written in pieces ending at %2")
                              .arg(global)
                              .arg(cuts.join(',')));
}

void DataChannelService::finishUpload(const QString& why) {
    m_verified = true;
    if (m_state.phase() != RunPhase::Rebooting) {
        m_state.setPhase(RunPhase::Finished);
    }
    const QJsonObject report = UploadVerifier(m_rig).verify(*m_upload);
    SimLog::event(QStringLiteral("verifier"), QStringLiteral("%1; checking").arg(why));
    for (const QString& line : UploadVerifier::summary(report).split('\n')) {
        SimLog::event(QStringLiteral("verifier"), line);
    }
    if (m_config.reportPath.isEmpty()) {
        return;
    }
    QFile file(m_config.reportPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(QJsonDocument(report).toJson()) < 0) {
        SimLog::error(
            QStringLiteral("verifier"),
            QStringLiteral("cannot write %1: %2").arg(m_config.reportPath, file.errorString()));
        return;
    }
    SimLog::event(QStringLiteral("verifier"),
                  QStringLiteral("report written to %1").arg(m_config.reportPath));
}
