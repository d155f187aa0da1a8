#pragma once

#include "device/telnet/QtTelnetAuth.h"

// The NULL authentication type (0): answers the peer's SEND with
// IS NULL and counts as successful; the login then goes on in plain text.
class QtTelnetAuthNull : public QtTelnetAuth {
public:
    QtTelnetAuthNull() : QtTelnetAuth(0) {}

    // For "AUTHENTICATION SEND ...": sets the state to success and returns
    // IAC SB AUTHENTICATION IS NULL 0 IAC SE (8 bytes); anything else: empty.
    QByteArray authStep(const QByteArray& subOption) override;
};
