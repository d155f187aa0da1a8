#pragma once

#include <QString>

// QString front end of EventLog for the Qt side of the simulator.
namespace SimLog {

void event(const QString& service, const QString& text);
void fault(const QString& service, const QString& text);
void error(const QString& service, const QString& text);

}  // namespace SimLog
