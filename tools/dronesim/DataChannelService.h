#pragma once

#include "tools/dronesim/DroneVision.h"
#include "tools/dronesim/PieceWriter.h"
#include "tools/dronesim/TcpSimService.h"
#include "tools/dronesim/UploadStreamParser.h"

#include <QPointer>

#include <memory>
#include <random>

// TCP 9999: the data channel. After "start" every image the capture timeline
// takes becomes two feature packets (left and right camera of the pair, sent
// in that order); the run's last is the downward pair's image 25, camera 2.
// Then the desktop's upload is read ("right"/"wrong", four ResultData and map
// files, "quit") and checked by UploadVerifier once it is complete, or at
// "quit" or disconnection if it never completes; the report goes to
// `reportPath` (JSON; none when empty) and a summary to the log.
//
// Only the latest connection is served. Faults: the channel closes at global
// image K (index, +26 for the downward pair), the features use a board scaled
// by `boardScale` (the desktop then measures a wrong baseline), views without
// marks, packets written in random pieces with junk bytes and packets with
// bad length fields between them. With Config::pieces every write goes out in
// random pieces (PieceWriter). When the drone reboots, the log says whether
// all four maps had arrived; if not, the verifier reports the cut upload.
class DataChannelService : public TcpSimService {
    Q_OBJECT

public:
    static constexpr quint16 kPort = 9999;

    struct Config {
        double unitCm = 1.0;
        DroneVisionSettings vision;
        QString reportPath;
        int closeAtImage = -1;  // < 0: never
        int closeInRun = 0;     // the run (1, 2, ...) in which it closes; 0: every run
        double boardScale = 1.0;
        int boardScaleInRun = 0;  // the run (1, 2, ...) the scale applies to; 0: every run
        bool garbage = false;  // split writes, junk bytes, bad length fields
        PieceWriter::Settings pieces;  // every write in random pieces
        // The run (1, 2, ...) whose last packet (image 51, right camera) is never
        // sent; 0: every run; < 0: none.
        int withholdLastInRun = -1;
    };

    DataChannelService(DroneState& state, const Rig& rig, Config config, QObject* parent = nullptr);

    // The feature packet the drone sends for `camera` at image `index`.
    QByteArray featurePacket(SimCamera camera, int index) const;

protected:
    void onConnection(QTcpSocket* socket) override;

private:
    void onBytes(QTcpSocket* socket);
    void onImageTaken(SimCamera camera, int index);
    void finishUpload(const QString& why);
    void onReboot();
    void writeWithGarbage(const QByteArray& packets, int global);

    DroneState& m_state;
    const Rig& m_rig;
    Config m_config;
    QPointer<QTcpSocket> m_socket;
    QPointer<PieceWriter> m_writer;  // of m_socket
    quint32 m_connections = 0;
    bool m_started = false;
    int m_runs = 0;        // "start" commands received
    QByteArray m_command;  // text before "start"
    std::unique_ptr<UploadStreamParser> m_upload;
    bool m_loggedVerdict = false;
    bool m_verified = false;
    int m_filesLogged = 0;
    std::mt19937 m_garbageRng{11};
};
