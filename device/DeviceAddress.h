#pragma once

#include <QString>

// The drone's fixed IPv4 address on its own access point, used by every device
// connection (heartbeat, HTTP switch, data and capture channels, console, RTSP).
//
// The compiled default comes from the CMake cache variable
// NIMBRA_DEVICE_ADDRESS; the environment variable of the same name, when set and
// not empty, replaces it at run time (the simulator and the tests use this to
// put a whole "drone" on a loopback address of their own).
namespace DeviceAddress {

// The compiled-in default, independent of the environment.
QString compiledDefault();

// The address to connect to: the environment override or the compiled default.
// Read on every call, so a test may change it between connections.
QString host();

}  // namespace DeviceAddress
