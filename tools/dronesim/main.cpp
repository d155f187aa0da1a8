// dronesim: plays the drone's services on a loopback address so that the
// desktop's main job and the device-link tests run on one machine.
#include "tools/dronesim/DroneSimulator.h"
#include "tools/dronesim/RigJson.h"
#include "tools/dronesim/SimLog.h"
#include "tools/dronesim/SimOptions.h"
#include "tools/dronesim/TerminationSignals.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

const QString kService = QStringLiteral("dronesim");

int writeRig(const SimOptions& options) {
    QFile file(options.writeRigPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(RigJson::write(options.rig)) < 0 || !file.flush()) {
        std::fprintf(stderr, "dronesim: cannot write %s: %s\n", qPrintable(options.writeRigPath),
                     qPrintable(file.errorString()));
        return 1;
    }
    std::printf("rig (%s) written to %s\n", qPrintable(options.rigSource),
                qPrintable(options.writeRigPath));
    return 0;
}

void logSummary(const SimOptions& options) {
    SimLog::event(kService, QStringLiteral("address %1").arg(options.address.toString()));
    SimLog::event(kService, QStringLiteral("rig: %1").arg(options.rigSource));
    SimLog::event(kService, QStringLiteral("board: lattice step %1 cm, drawn at r = %2 px (%3)")
                                .arg(options.boardUnitCm, 0, 'f', 4)
                                .arg(options.boardRadiusPx)
                                .arg(options.boardSource));
    SimLog::event(kService, QStringLiteral("firmware %1").arg(options.firmwareVersion));
    if (options.heartbeatSilentAfterSeconds >= 0) {
        SimLog::event(kService, QStringLiteral("armed fault: heartbeat silent after %1 s")
                                    .arg(options.heartbeatSilentAfterSeconds));
    }
    if (options.httpFault.status != 0) {
        SimLog::event(kService,
                      QStringLiteral("armed fault: HTTP status %1").arg(options.httpFault.status));
    }
    if (options.httpFault.replaceBody) {
        SimLog::event(kService, QStringLiteral("armed fault: HTTP body \"%1\"")
                                    .arg(QString::fromUtf8(options.httpFault.body)));
    }
    if (options.dataCloseAtImage >= 0) {
        SimLog::event(kService,
                      QStringLiteral("armed fault: data channel closes at image %1 (%2)")
                          .arg(options.dataCloseAtImage)
                          .arg(options.dataCloseInRun == 0
                                   ? QStringLiteral("every run")
                                   : QStringLiteral("run %1").arg(options.dataCloseInRun)));
    }
    if (options.heartbeatSilentAtPhase) {
        SimLog::event(kService, QStringLiteral("armed fault: heartbeat silent at phase %1")
                                    .arg(DroneState::phaseName(*options.heartbeatSilentAtPhase)));
    }
    if (options.heartbeatGapAtImage >= 0) {
        SimLog::event(kService, QStringLiteral("armed fault: heartbeat gap of %1 s at image %2")
                                    .arg(options.heartbeatGapSeconds)
                                    .arg(options.heartbeatGapAtImage));
    }
    if (options.garbagePackets) {
        SimLog::event(kService, QStringLiteral("armed fault: garbage and split data packets"));
    }
    if (options.writePieces.enabled) {
        SimLog::event(kService, QStringLiteral("data and capture channels write in random pieces, "
                                               "seed %1")
                                    .arg(options.writePieces.seed));
    }
    if (options.withholdLastInRun >= 0) {
        SimLog::event(kService, QStringLiteral("armed fault: the last feature packet is withheld"));
    }
    if (options.hideMarks) {
        SimLog::event(kService, QStringLiteral("armed fault: views without marks"));
    }
    if (options.boardScaleFault != 1.0) {
        SimLog::event(kService, QStringLiteral("armed fault: board scale %1 of the drawn board")
                                    .arg(options.boardScaleFault));
    }
    for (const auto& fault : options.streamFaults) {
        SimLog::event(
            kService,
            QStringLiteral("armed fault: stream %1 fails %2")
                .arg(QString::fromStdString(fault.first))
                .arg(fault.second.always
                         ? QStringLiteral("every open")
                         : QStringLiteral("its first %1 opens").arg(fault.second.failFirstOpens)));
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(kService);

    SimOptions options;
    QString message;
    switch (SimOptions::parse(QCoreApplication::arguments(), &options, &message)) {
        case SimOptions::Outcome::Help:
            std::fputs(qPrintable(message), stdout);
            return 0;
        case SimOptions::Outcome::Error:
            std::fprintf(stderr, "dronesim: %s\nTry 'dronesim --help'.\n", qPrintable(message));
            return 2;
        case SimOptions::Outcome::WriteRig:
            return writeRig(options);
        case SimOptions::Outcome::Run:
            break;
    }

    TerminationSignals termination;
    logSummary(options);
    DroneSimulator simulator(options);
    QString error;
    if (!simulator.start(&error)) {
        SimLog::error(kService, error);
        return 1;
    }
    QObject::connect(
        &termination, &TerminationSignals::terminationRequested, &app, [&](int number) {
            SimLog::event(kService, QStringLiteral("signal %1: shutting down").arg(number));
            simulator.stop();
            QCoreApplication::quit();
        });
    SimLog::event(kService, QStringLiteral("ready"));
    return app.exec();
}
