#include "QtTelnetAuth.h"

QtTelnetAuth::~QtTelnetAuth() = default;
