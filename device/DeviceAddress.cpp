#include "device/DeviceAddress.h"

#include <QByteArray>
#include <QtGlobal>

#ifndef NIMBRA_DEFAULT_DEVICE_ADDRESS
#error "NIMBRA_DEFAULT_DEVICE_ADDRESS must be defined by the build"
#endif

namespace DeviceAddress {

QString compiledDefault() {
    return QStringLiteral(NIMBRA_DEFAULT_DEVICE_ADDRESS);
}

QString host() {
    const QByteArray env = qgetenv("NIMBRA_DEVICE_ADDRESS").trimmed();
    if (!env.isEmpty()) {
        return QString::fromLatin1(env);
    }
    return compiledDefault();
}

}  // namespace DeviceAddress
