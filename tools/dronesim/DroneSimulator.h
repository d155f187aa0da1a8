#pragma once

#include "tools/dronesim/BoardImage.h"
#include "tools/dronesim/CameraViewRenderer.h"
#include "tools/dronesim/CameraViewState.h"
#include "tools/dronesim/DroneState.h"
#include "tools/dronesim/SimOptions.h"

#include <QObject>
#include <QVector>

class SimService;

// The whole simulated drone: its state, the rendered board, the camera renderer
// and the list of services, started together on one address and stopped
// together in reverse order. New services are created in buildServices().
class DroneSimulator : public QObject {
    Q_OBJECT

public:
    explicit DroneSimulator(SimOptions options, QObject* parent = nullptr);
    ~DroneSimulator() override;

    // Starts every service; on the first failure stops those already started and
    // returns false with `error` naming the service.
    bool start(QString* error);
    void stop();

    DroneState& state() { return m_state; }

private:
    void buildServices();

    SimOptions m_options;
    CameraViewState m_view;
    DroneState m_state;
    BoardImage m_board;
    CameraViewRenderer m_renderer;
    QVector<SimService*> m_services;  // children of this object, in start order
    QVector<SimService*> m_started;
};
