#pragma once

#include "tools/dronesim/RtspCameraServer.h"
#include "tools/dronesim/SimService.h"

#include <memory>

// TCP 554: the four camera streams, as a SimService. The RTSP server itself runs
// on its own thread (RtspCameraServer); this class only starts and stops it.
class CameraStreamService : public SimService {
    Q_OBJECT

public:
    static constexpr quint16 kPort = 554;

    CameraStreamService(DroneState& state, CameraViewRenderer& renderer,
                        const CameraViewState& view, RtspCameraServer::Config config,
                        QObject* parent = nullptr);
    ~CameraStreamService() override;

    bool start(const QHostAddress& address, QString* error) override;
    void stop() override;

private:
    CameraViewRenderer& m_renderer;
    const CameraViewState& m_view;
    RtspCameraServer::Config m_config;
    std::unique_ptr<RtspCameraServer> m_server;
};
