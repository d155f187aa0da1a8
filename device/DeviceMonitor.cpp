#include "DeviceMonitor.h"

#include <QAbstractSocket>

DeviceMonitor::DeviceMonitor() {
    moveToThread(this);
    qRegisterMetaType<QAbstractSocket::SocketError>("QAbstractSocket::SocketError");
}

DeviceMonitor::~DeviceMonitor() {
    quit();
    wait();
}
