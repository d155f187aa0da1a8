#include "Telnet.h"

Telnet::Telnet(QObject* parent) : QObject(parent) {}

void Telnet::connectToHost() {}

void Telnet::reboot() {}
