#include "tools/dronesim/SimLog.h"

#include "tools/dronesim/EventLog.h"

namespace SimLog {

void event(const QString& service, const QString& text) {
    EventLog::event(service.toStdString(), text.toStdString());
}

void fault(const QString& service, const QString& text) {
    EventLog::fault(service.toStdString(), text.toStdString());
}

void error(const QString& service, const QString& text) {
    EventLog::error(service.toStdString(), text.toStdString());
}

}  // namespace SimLog
