#include "tools/dronesim/SimService.h"

#include "tools/dronesim/SimLog.h"

SimService::SimService(QString name, DroneState& state, QObject* parent)
    : QObject(parent), m_name(std::move(name)), m_state(state) {}

void SimService::log(const QString& text) const {
    SimLog::event(m_name, text);
}

void SimService::logFault(const QString& text) const {
    SimLog::fault(m_name, text);
}
