#include "device/telnet/QtTelnetAuth.h"

QtTelnetAuth::~QtTelnetAuth() = default;
