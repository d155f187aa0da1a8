#include "tools/dronesim/SimOptions.h"

#include "tools/dronesim/RigJson.h"
#include "tools/dronesim/SimCamera.h"

#include <QCommandLineParser>
#include <QFile>

#include <cmath>

namespace {

const char* const kDescription =
    "Plays the drone for NimbraDesktop on a loopback address: heartbeat (TCP 10001),\n"
    "calibration-mode switch (HTTP, TCP 80), console (TELNET, TCP 23) and the four\n"
    "camera streams (RTSP, TCP 554: /ov7251_01 forward right, /ov7251_02 forward left,\n"
    "/ov7251_03 downward right, /ov7251_04 downward left). The streams show the desktop's\n"
    "board through each camera's lens model at the drone's current pose. Every event\n"
    "is printed as \"HH:MM:SS.mmm [service] text\"; injected faults as \"FAULT ...\".\n"
    "Ports below 1024 need root. Stop with Ctrl-C.";

bool positiveNumber(const QString& text, double* out) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value <= 0) {
        return false;
    }
    *out = value;
    return true;
}

bool parseStreamFault(const QString& text, std::map<std::string, RtspCameraServer::OpenFault>* out,
                      QString* error) {
    const int colon = text.lastIndexOf(':');
    QString path = colon < 0 ? QString() : text.left(colon);
    const QString count = colon < 0 ? QString() : text.mid(colon + 1);
    if (!path.startsWith('/')) {
        path.prepend('/');
    }
    bool known = false;
    for (SimCamera camera : kAllCameras) {
        known = known || path.toStdString() == streamPath(camera);
    }
    if (colon < 0 || !known) {
        *error = QStringLiteral(
                     "--fault-stream-fail %1: expected PATH:K or PATH:always with PATH "
                     "one of /ov7251_01 to /ov7251_04")
                     .arg(text);
        return false;
    }
    RtspCameraServer::OpenFault fault;
    if (count == QLatin1String("always")) {
        fault.always = true;
    } else {
        bool ok = false;
        fault.failFirstOpens = count.toInt(&ok);
        if (!ok || fault.failFirstOpens < 1) {
            *error = QStringLiteral(
                         "--fault-stream-fail %1: K must be a whole number of at least 1 "
                         "or \"always\"")
                         .arg(text);
            return false;
        }
    }
    (*out)[path.toStdString()] = fault;
    return true;
}

}  // namespace

SimOptions::Outcome SimOptions::parse(const QStringList& arguments, SimOptions* options,
                                      QString* message) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    const QCommandLineOption help({"h", "help"}, "Show this help and exit.");
    const QCommandLineOption addr(
        "addr",
        "Loopback address to serve on (127.0.0.0/8 only). Default: $NIMBRA_DEVICE_ADDRESS, "
        "else 127.0.0.1.",
        "ADDRESS");
    const QCommandLineOption rigFile(
        "rig", "Ground-truth rig (JSON). Keys it leaves out keep the built-in values.", "FILE");
    const QCommandLineOption writeRig("write-rig",
                                      "Write the rig in use (built-in, or --rig merged with it) to "
                                      "FILE as JSON and exit.",
                                      "FILE");
    const QCommandLineOption unit("board-unit-cm",
                                  "Lattice step of the desktop's board in cm: "
                                  "2r x (screen mm per pixel) / 10.",
                                  "CM");
    const QCommandLineOption radius("board-radius-px",
                                    "Circle radius r the desktop draws, in screen pixels. With "
                                    "--screen-mm-per-px it gives the lattice step; alone with "
                                    "--board-unit-cm it only sets the drawing resolution.",
                                    "PIXELS");
    const QCommandLineOption mmPerPx(
        "screen-mm-per-px",
        "True physical width of one screen pixel in mm (screen width in mm / screen width in "
        "pixels): the board the cameras see has this size, whatever the desktop believes. "
        "Give the truth here to play a screen that misreports its size to the desktop.",
        "MM");
    const QCommandLineOption version("version-string",
                                     "Firmware version the console reports. Default: v3.3.9.",
                                     "VERSION", "v3.3.9");
    const QCommandLineOption reboot("reboot-seconds",
                                    "How long the drone stays away after \"reboot\". Default: 5.",
                                    "SECONDS", "5");
    const QCommandLineOption fps("fps", "Camera stream frame rate. Default: 15.", "N", "15");
    const QCommandLineOption keyInt("key-interval", "Frames between H.264 key frames. Default: 15.",
                                    "N", "15");
    const QCommandLineOption silent(
        "fault-heartbeat-silent-after",
        "FAULT: the heartbeat stops sending SECONDS after start (connections are still accepted).",
        "SECONDS");
    const QCommandLineOption httpStatus(
        "fault-http-status", "FAULT: the mode switch answers this HTTP status instead of 200.",
        "CODE");
    const QCommandLineOption httpBody(
        "fault-http-body", "FAULT: the mode switch answers this body instead of \"Success\".",
        "TEXT");
    const QCommandLineOption streamFail(
        "fault-stream-fail",
        "FAULT: the stream PATH (e.g. /ov7251_02) refuses its first K opens, or every open with "
        "\"always\" (RTSP 503). Repeatable.",
        "PATH:K|always");
    const QCommandLineOption interval(
        "image-interval-ms",
        "Time the drone takes per ordinary image (approach and shot); images approached out of "
        "range or turned take about 3.4 times as long. Default: 400 (a whole run of 52 images "
        "in about 35 s).",
        "MS", "400");
    const QCommandLineOption lead(
        "capture-lead-ms",
        "Time from \"startfront\"/\"startdown\" (and calibration mode) to the pair's first "
        "status packet, for the desktop to open the camera stream. Default: 1500.",
        "MS", "1500");
    const QCommandLineOption report(
        "report", "Write the verifier's JSON report of the desktop's upload to FILE.", "FILE");
    const QCommandLineOption missing("missing-fraction",
                                     "Share of circles the drone's detector misses. Default: 0.02.",
                                     "F", "0.02");
    const QCommandLineOption closeAt(
        "fault-data-close-at",
        "FAULT: the data channel closes when image K is taken (0-51, +26 for the downward pair), "
        "in every run or only in run RUN (1 for the first \"start\").",
        "K[:RUN]");
    const QCommandLineOption silentAt(
        "fault-heartbeat-silent-at",
        "FAULT: the heartbeat stops for good when the run reaches PHASE: forward, downward, "
        "upload or finished.",
        "PHASE");
    const QCommandLineOption gap(
        "fault-heartbeat-gap",
        "FAULT: the heartbeat stops for SECONDS when image K (0-51, +26 for the downward pair) "
        "is first taken, then beats again (a drone that went away and came back).",
        "K:SECONDS");
    const QCommandLineOption garbage(
        "fault-garbage",
        "FAULT: the data channel writes its packets in random pieces, with junk bytes and "
        "packets with bad length fields between them.");
    const QCommandLineOption pieces(
        "write-pieces",
        "The data and capture channels write every message in random pieces of 1 to 1500 "
        "bytes, with pauses of 0 to 3 ms between them, as a drone on Wi-Fi may: the desktop's "
        "reads then split anywhere. SEED makes the pieces reproducible.",
        "SEED");
    const QCommandLineOption withholdLast(
        "fault-withhold-last-packet",
        "FAULT: the data channel never sends the last feature packet (downward image 25, right "
        "camera) of run RUN (1 for the first \"start\"), or of every run with \"all\"; the "
        "connection stays open.",
        "RUN|all");
    const QCommandLineOption noMarks("fault-no-marks",
                                     "FAULT: the feature packets of every view lack the marks.");
    const QCommandLineOption boardScale(
        "fault-board-scale",
        "FAULT: the feature packets see a board F times the size the desktop drew; with RUN "
        "only in that run (1 for the first \"start\").",
        "F[:RUN]");
    parser.addOptions({help,       addr,     rigFile, writeRig, unit,    radius,      mmPerPx,
                       version,    reboot,   fps,     keyInt,   silent,  httpStatus,  httpBody,
                       streamFail, interval, report,  missing,  closeAt, noMarks,     boardScale,
                       lead,       silentAt, garbage, gap,      pieces,  withholdLast});

    auto fail = [&](const QString& text) {
        *message = text;
        return Outcome::Error;
    };

    if (!parser.parse(arguments)) {
        return fail(parser.errorText());
    }
    if (parser.isSet(help)) {
        *message = parser.helpText();
        return Outcome::Help;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return fail(
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments()[0]));
    }

    // Address: loopback only, so that a test or a demo can never answer for a
    // real drone on the network.
    QString addressText = parser.value(addr);
    if (addressText.isEmpty()) {
        addressText = qEnvironmentVariable("NIMBRA_DEVICE_ADDRESS").trimmed();
    }
    if (addressText.isEmpty()) {
        addressText = QStringLiteral("127.0.0.1");
    }
    const QHostAddress address(addressText);
    if (address.protocol() != QAbstractSocket::IPv4Protocol ||
        !address.isInSubnet(QHostAddress(QStringLiteral("127.0.0.0")), 8)) {
        return fail(QStringLiteral("refusing address \"%1\": the simulator serves on loopback "
                                   "addresses (127.0.0.0/8) only")
                        .arg(addressText));
    }
    options->address = address;

    options->rig = Rig::defaults();
    options->rigSource = QStringLiteral("built-in defaults");
    if (parser.isSet(rigFile)) {
        const QString path = parser.value(rigFile);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return fail(QStringLiteral("cannot read rig %1: %2").arg(path, file.errorString()));
        }
        QString error;
        if (!RigJson::read(file.readAll(), &options->rig, &error)) {
            return fail(QStringLiteral("rig %1: %2").arg(path, error));
        }
        options->rigSource = path;
    }

    // Board scale.
    double unitCm = 0;
    double radiusPx = 0;
    double mm = 0;
    if (parser.isSet(unit) && !positiveNumber(parser.value(unit), &unitCm)) {
        return fail(QStringLiteral("--board-unit-cm must be a positive number"));
    }
    if (parser.isSet(radius) &&
        (!positiveNumber(parser.value(radius), &radiusPx) || radiusPx != std::floor(radiusPx))) {
        return fail(QStringLiteral("--board-radius-px must be a positive whole number"));
    }
    if (parser.isSet(mmPerPx) && !positiveNumber(parser.value(mmPerPx), &mm)) {
        return fail(QStringLiteral("--screen-mm-per-px must be a positive number"));
    }
    if (parser.isSet(unit) && parser.isSet(mmPerPx)) {
        return fail(
            QStringLiteral("give either --board-unit-cm or --board-radius-px with "
                           "--screen-mm-per-px, not both"));
    }
    if (parser.isSet(unit)) {
        options->boardUnitCm = unitCm;
        options->boardRadiusPx =
            parser.isSet(radius) ? static_cast<int>(radiusPx) : kDefaultRadiusPx;
        options->boardSource = QStringLiteral("--board-unit-cm");
    } else if (parser.isSet(radius) != parser.isSet(mmPerPx)) {
        return fail(
            QStringLiteral("--board-radius-px and --screen-mm-per-px go together (or give "
                           "--board-unit-cm)"));
    } else if (parser.isSet(radius)) {
        options->boardRadiusPx = static_cast<int>(radiusPx);
        options->boardUnitCm = 2.0 * radiusPx * mm / 10.0;
        options->boardSource =
            QStringLiteral("--board-radius-px %1 x --screen-mm-per-px %2").arg(radiusPx).arg(mm);
    } else {
        options->boardRadiusPx = kDefaultRadiusPx;
        options->boardUnitCm = 2.0 * kDefaultRadiusPx * kDefaultScreenMmPerPx / 10.0;
        options->boardSource = QStringLiteral(
                                   "built-in default (r = %1 px, %2 mm per pixel); "
                                   "pass the desktop's values")
                                   .arg(kDefaultRadiusPx)
                                   .arg(kDefaultScreenMmPerPx);
    }
    if (options->boardRadiusPx < 4 || options->boardRadiusPx > 200) {
        return fail(QStringLiteral("--board-radius-px must be between 4 and 200"));
    }

    options->firmwareVersion = parser.value(version);
    bool ok = false;
    options->rebootSeconds = parser.value(reboot).toInt(&ok);
    if (!ok || options->rebootSeconds < 0 || options->rebootSeconds > 600) {
        return fail(QStringLiteral("--reboot-seconds must be a whole number from 0 to 600"));
    }
    options->framesPerSecond = parser.value(fps).toInt(&ok);
    if (!ok || options->framesPerSecond < 1 || options->framesPerSecond > 60) {
        return fail(QStringLiteral("--fps must be a whole number from 1 to 60"));
    }
    options->keyInterval = parser.value(keyInt).toInt(&ok);
    if (!ok || options->keyInterval < 1 || options->keyInterval > 300) {
        return fail(QStringLiteral("--key-interval must be a whole number from 1 to 300"));
    }

    if (parser.isSet(silent)) {
        bool numberOk = false;
        options->heartbeatSilentAfterSeconds = parser.value(silent).toDouble(&numberOk);
        if (!numberOk || !(options->heartbeatSilentAfterSeconds >= 0)) {
            return fail(
                QStringLiteral("--fault-heartbeat-silent-after must be a number of seconds "
                               "(0 or more)"));
        }
    }
    if (parser.isSet(httpStatus)) {
        const int status = parser.value(httpStatus).toInt(&ok);
        if (!ok || status < 100 || status > 599) {
            return fail(
                QStringLiteral("--fault-http-status must be an HTTP status from 100 to 599"));
        }
        options->httpFault.status = status;
    }
    if (parser.isSet(httpBody)) {
        options->httpFault.replaceBody = true;
        options->httpFault.body = parser.value(httpBody).toUtf8();
    }
    for (const QString& value : parser.values(streamFail)) {
        QString error;
        if (!parseStreamFault(value, &options->streamFaults, &error)) {
            return fail(error);
        }
    }

    options->imageIntervalMs = parser.value(interval).toInt(&ok);
    if (!ok || options->imageIntervalMs < 5 || options->imageIntervalMs > 60000) {
        return fail(QStringLiteral("--image-interval-ms must be from 5 to 60000"));
    }
    options->captureLeadMs = parser.value(lead).toInt(&ok);
    if (!ok || options->captureLeadMs < 0 || options->captureLeadMs > 60000) {
        return fail(QStringLiteral("--capture-lead-ms must be from 0 to 60000"));
    }
    options->reportPath = parser.value(report);
    bool numberOk = false;
    options->missingFraction = parser.value(missing).toDouble(&numberOk);
    if (!numberOk || !(options->missingFraction >= 0 && options->missingFraction < 0.5)) {
        return fail(QStringLiteral("--missing-fraction must be from 0 to below 0.5"));
    }
    if (parser.isSet(closeAt)) {
        const QStringList parts = parser.value(closeAt).split(QLatin1Char(':'));
        options->dataCloseAtImage = parts[0].toInt(&ok);
        bool runOk = true;
        if (parts.size() == 2) {
            options->dataCloseInRun = parts[1].toInt(&runOk);
            runOk = runOk && options->dataCloseInRun >= 1;
        }
        if (!ok || !runOk || parts.size() > 2 || options->dataCloseAtImage < 0 ||
            options->dataCloseAtImage > 51) {
            return fail(QStringLiteral(
                "--fault-data-close-at must be an image from 0 to 51, optionally with :RUN "
                "(a run from 1)"));
        }
    }
    options->hideMarks = parser.isSet(noMarks);
    options->garbagePackets = parser.isSet(garbage);
    if (parser.isSet(pieces)) {
        options->writePieces.enabled = true;
        options->writePieces.seed = parser.value(pieces).toUInt(&ok);
        if (!ok) {
            return fail(QStringLiteral("--write-pieces needs a whole number from 0 to 4294967295"));
        }
    }
    if (parser.isSet(withholdLast)) {
        const QString run = parser.value(withholdLast);
        options->withholdLastInRun = run == QLatin1String("all") ? 0 : run.toInt(&ok);
        if (run != QLatin1String("all") && (!ok || options->withholdLastInRun < 1)) {
            return fail(
                QStringLiteral("--fault-withhold-last-packet must be a run from 1, or \"all\""));
        }
    }
    if (parser.isSet(silentAt)) {
        const QString phase = parser.value(silentAt);
        if (phase == "forward") {
            options->heartbeatSilentAtPhase = RunPhase::CaptureForward;
        } else if (phase == "downward") {
            options->heartbeatSilentAtPhase = RunPhase::CaptureDownward;
        } else if (phase == "upload") {
            options->heartbeatSilentAtPhase = RunPhase::Uploading;
        } else if (phase == "finished") {
            options->heartbeatSilentAtPhase = RunPhase::Finished;
        } else {
            return fail(QStringLiteral(
                "--fault-heartbeat-silent-at must be forward, downward, upload or finished"));
        }
    }
    if (parser.isSet(gap)) {
        const QStringList parts = parser.value(gap).split(QLatin1Char(':'));
        bool imageOk = false;
        bool secondsOk = false;
        if (parts.size() == 2) {
            options->heartbeatGapAtImage = parts[0].toInt(&imageOk);
            options->heartbeatGapSeconds = parts[1].toDouble(&secondsOk);
        }
        if (!imageOk || !secondsOk || options->heartbeatGapAtImage < 0 ||
            options->heartbeatGapAtImage > 51 || !(options->heartbeatGapSeconds > 0)) {
            return fail(QStringLiteral(
                "--fault-heartbeat-gap must be K:SECONDS with K an image from 0 to 51 and "
                "SECONDS above 0"));
        }
    }
    if (parser.isSet(boardScale)) {
        const QStringList parts = parser.value(boardScale).split(QLatin1Char(':'));
        options->boardScaleFault = parts[0].toDouble(&numberOk);
        bool runOk = parts.size() <= 2;
        if (parts.size() == 2) {
            options->boardScaleInRun = parts[1].toInt(&runOk);
            runOk = runOk && options->boardScaleInRun >= 1;
        }
        if (!numberOk || !runOk ||
            !(options->boardScaleFault >= 0.5 && options->boardScaleFault <= 2.0)) {
            return fail(QStringLiteral(
                "--fault-board-scale must be from 0.5 to 2, optionally with :RUN (a run from 1)"));
        }
    }

    if (parser.isSet(writeRig)) {
        options->writeRigPath = parser.value(writeRig);
        return Outcome::WriteRig;
    }
    return Outcome::Run;
}
