#include "device/DeviceMonitor.h"

#include "device/DeviceAddress.h"

#include <QAbstractSocket>
#include <QDebug>
#include <QTcpSocket>
#include <QTimer>

DeviceMonitor::DeviceMonitor() {
    moveToThread(this);
    qRegisterMetaType<QAbstractSocket::SocketError>("QAbstractSocket::SocketError");
}

DeviceMonitor::~DeviceMonitor() {
    quit();
    wait();
}

void DeviceMonitor::run() {
    m_pSocket = new QTcpSocket();
    connectToHost();

    m_pTimer = new QTimer();
    connect(m_pTimer, &QTimer::timeout, this, &DeviceMonitor::onTimeout);
    m_pTimer->start(1000);

    exec();

    m_pTimer->stop();
    m_pTimer->deleteLater();
    m_pSocket->deleteLater();
    m_pTimer = nullptr;
    m_pSocket = nullptr;
}

void DeviceMonitor::connectToHost() {
    qDebug() << "connect to host for heart beat";
    if (m_pSocket->state() == QAbstractSocket::ConnectingState) {
        m_pSocket->disconnectFromHost();
    }
    m_pSocket->abort();
    m_pSocket->connectToHost(DeviceAddress::host(), kPort, QIODevice::ReadWrite);
    if (m_pSocket->waitForConnected(3000)) {
        m_pSocket->write("ok");
    }
}

void DeviceMonitor::onTimeout() {
    if (m_pSocket->bytesAvailable() > 0) {
        if (!m_bOnline) {
            m_bOnline = true;
            emit stateChanged(true);
        }
        m_pSocket->readAll();
        m_pSocket->write("ok");
        return;
    }
    if (m_bOnline) {
        m_bOnline = false;
        emit stateChanged(false);
    }
    connectToHost();
}
