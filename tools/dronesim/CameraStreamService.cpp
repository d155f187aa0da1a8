#include "tools/dronesim/CameraStreamService.h"

#include "tools/dronesim/DroneState.h"
#include "tools/dronesim/SimCamera.h"

CameraStreamService::CameraStreamService(DroneState& state, CameraViewRenderer& renderer,
                                         const CameraViewState& view,
                                         RtspCameraServer::Config config, QObject* parent)
    : SimService(QStringLiteral("rtsp"), state, parent),
      m_renderer(renderer),
      m_view(view),
      m_config(std::move(config)) {
    connect(&state, &DroneState::presenceChanged, this, [this](bool present) {
        if (m_server) {
            m_server->setAvailable(present);
            log(present ? QStringLiteral("streams available again")
                        : QStringLiteral("streams closed while the drone is away"));
        }
    });
}

CameraStreamService::~CameraStreamService() {
    stop();
}

bool CameraStreamService::start(const QHostAddress& address, QString* error) {
    if (m_server) {
        return true;
    }
    RtspCameraServer::Config config = m_config;
    config.address = address.toString().toStdString();
    config.port = kPort;
    auto server = std::make_unique<RtspCameraServer>(m_renderer, m_view, config);
    std::string problem;
    if (!server->start(&problem)) {
        *error = QString::fromStdString(problem);
        return false;
    }
    m_server = std::move(server);
    m_server->setAvailable(state().isPresent());
    for (SimCamera camera : kAllCameras) {
        log(QStringLiteral("serving rtsp://%1:%2%3 (%4 camera)")
                .arg(address.toString())
                .arg(kPort)
                .arg(QString::fromStdString(streamPath(camera)))
                .arg(QString::fromStdString(cameraName(camera))));
    }
    return true;
}

void CameraStreamService::stop() {
    if (m_server) {
        m_server->stop();
        m_server.reset();
    }
}
