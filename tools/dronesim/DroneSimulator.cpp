#include "tools/dronesim/DroneSimulator.h"

#include "tools/dronesim/CameraStreamService.h"
#include "tools/dronesim/CaptureControlService.h"
#include "tools/dronesim/DataChannelService.h"
#include "tools/dronesim/ConsoleService.h"
#include "tools/dronesim/HeartbeatService.h"
#include "tools/dronesim/HttpSwitchService.h"
#include "tools/dronesim/SimLog.h"

DroneSimulator::DroneSimulator(SimOptions options, QObject* parent)
    : QObject(parent),
      m_options(std::move(options)),
      m_state(m_view),
      m_board(m_options.boardRadiusPx, m_options.boardUnitCm),
      m_renderer(m_options.rig, m_board) {
    buildServices();
}

DroneSimulator::~DroneSimulator() {
    stop();
}

void DroneSimulator::buildServices() {
    auto* heartbeat = new HeartbeatService(m_state, m_options.heartbeatSilentAfterSeconds, this);
    if (m_options.heartbeatSilentAtPhase) {
        heartbeat->setSilentAtPhase(*m_options.heartbeatSilentAtPhase);
    }
    if (m_options.heartbeatGapAtImage >= 0) {
        heartbeat->setGapAtImage(m_options.heartbeatGapAtImage, m_options.heartbeatGapSeconds);
    }
    m_services.append(heartbeat);
    m_services.append(new HttpSwitchService(m_state, m_options.httpFault, this));
    m_services.append(
        new ConsoleService(m_state, m_options.firmwareVersion, m_options.rebootSeconds, this));

    RtspCameraServer::Config streams;
    streams.framesPerSecond = m_options.framesPerSecond;
    streams.keyInterval = m_options.keyInterval;
    streams.faults = m_options.streamFaults;
    m_services.append(new CameraStreamService(m_state, m_renderer, m_view, streams, this));

    DataChannelService::Config data;
    data.unitCm = m_options.boardUnitCm;
    data.vision.missingFraction = m_options.missingFraction;
    data.vision.hideMarks = m_options.hideMarks;
    data.reportPath = m_options.reportPath;
    data.closeAtImage = m_options.dataCloseAtImage;
    data.closeInRun = m_options.dataCloseInRun;
    data.boardScale = m_options.boardScaleFault;
    data.boardScaleInRun = m_options.boardScaleInRun;
    data.garbage = m_options.garbagePackets;
    data.pieces = m_options.writePieces;
    data.withholdLastInRun = m_options.withholdLastInRun;
    m_services.append(new DataChannelService(m_state, m_options.rig, data, this));
    m_services.append(new CaptureControlService(m_state, m_options.rig, m_options.boardUnitCm,
                                                m_options.imageIntervalMs, m_options.captureLeadMs,
                                                m_options.writePieces, this));
}

bool DroneSimulator::start(QString* error) {
    for (SimService* service : m_services) {
        QString problem;
        if (!service->start(m_options.address, &problem)) {
            *error = service->name() + ": " + problem;
            stop();
            return false;
        }
        m_started.append(service);
    }
    return true;
}

void DroneSimulator::stop() {
    while (!m_started.isEmpty()) {
        SimService* service = m_started.takeLast();
        service->stop();
        SimLog::event(service->name(), QStringLiteral("stopped"));
    }
}
