#pragma once

#include <QByteArray>

// One TELNET authentication method. `authStep` gets the bytes of an
// AUTHENTICATION sub-negotiation (option byte first, without IAC SB / IAC SE)
// and returns the bytes to send back (empty for nothing); it records the
// outcome in `authState`.
class QtTelnetAuth {
public:
    enum State { AuthPending = 0, AuthSuccess = 1, AuthFailure = 2 };

    explicit QtTelnetAuth(int type) : authState(AuthPending), authType(type) {}
    virtual ~QtTelnetAuth();

    virtual QByteArray authStep(const QByteArray& subOption) = 0;

    int authState;
    int authType;

private:
    QtTelnetAuth(const QtTelnetAuth&) = delete;
    QtTelnetAuth& operator=(const QtTelnetAuth&) = delete;
};
