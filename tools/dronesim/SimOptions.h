#pragma once

#include "tools/dronesim/DroneState.h"
#include "tools/dronesim/HttpSwitchService.h"
#include "tools/dronesim/PieceWriter.h"
#include "tools/dronesim/Rig.h"
#include "tools/dronesim/RtspCameraServer.h"

#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <optional>

// Everything the command line decides, checked. parse() never exits the process:
// --help and errors come back as an outcome for main() to act on, which keeps
// the parsing testable.
struct SimOptions {
    enum class Outcome { Run, WriteRig, Help, Error };

    QHostAddress address;
    Rig rig;
    QString rigSource;     // "built-in defaults" or the rig file's path
    QString writeRigPath;  // with Outcome::WriteRig

    // The board the desktop draws: radius r in screen pixels and the lattice step
    // u = 2r × (screen mm per pixel) ÷ 10 in centimetres.
    int boardRadiusPx = 0;
    double boardUnitCm = 0;
    QString boardSource;  // how u was obtained, for the start-up summary

    QString firmwareVersion;
    int rebootSeconds = 5;
    int framesPerSecond = 15;
    int keyInterval = 15;

    int imageIntervalMs = 400;  // capture timeline: time per ordinary image
    int captureLeadMs = 1500;   // command (and calibration mode) to the first status packet
    QString reportPath;         // verifier's JSON report; empty: none
    double missingFraction = 0.02;
    PieceWriter::Settings writePieces;  // data and capture channels

    // Faults.
    std::optional<RunPhase> heartbeatSilentAtPhase;
    int dataCloseAtImage = -1;    // < 0: never
    int dataCloseInRun = 0;       // 0: every run
    bool garbagePackets = false;  // data channel: split writes, junk and bad lengths
    // Data channel: image 51's right packet never sent in this run (1, 2, ...;
    // 0: every run; < 0: never).
    int withholdLastInRun = -1;
    bool hideMarks = false;
    double boardScaleFault = 1.0;             // 1: the board the desktop drew
    int boardScaleInRun = 0;                  // 0: every run
    double heartbeatSilentAfterSeconds = -1;  // < 0: never
    int heartbeatGapAtImage = -1;             // < 0: never
    double heartbeatGapSeconds = 0;
    HttpSwitchService::Fault httpFault;
    std::map<std::string, RtspCameraServer::OpenFault> streamFaults;

    // Parses `arguments` (argv including the program name). On Help, `message`
    // holds the help text; on Error, a one-line explanation.
    static Outcome parse(const QStringList& arguments, SimOptions* options, QString* message);

    // Defaults of the board when no option gives it: a 15.6-inch 1920 × 1080
    // screen (0.1793 mm per pixel) on which the desktop draws r = 26.
    static constexpr int kDefaultRadiusPx = 26;
    static constexpr double kDefaultScreenMmPerPx = 0.1793;
};
