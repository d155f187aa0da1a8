#include "device/telnet/QtTelnetAuthNull.h"

#include "device/telnet/TelnetCodes.h"

QByteArray QtTelnetAuthNull::authStep(const QByteArray& subOption) {
    using namespace TelnetCodes;
    if (subOption.size() < 2 || static_cast<unsigned char>(subOption.at(1)) != SEND) {
        return QByteArray();
    }
    authState = AuthSuccess;
    const char reply[] = {char(IAC), char(SB), char(AUTHENTICATION), char(IS), 0, 0,
                          char(IAC), char(SE)};
    return QByteArray(reply, sizeof reply);
}
