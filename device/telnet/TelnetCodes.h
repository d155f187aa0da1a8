#pragma once

// Byte values of the TELNET protocol: commands (the byte after IAC), option
// codes and sub-negotiation codes, as they appear on the wire.
namespace TelnetCodes {

// Commands.
constexpr unsigned char IAC = 255;
constexpr unsigned char DONT = 254;
constexpr unsigned char DO = 253;
constexpr unsigned char WONT = 252;
constexpr unsigned char WILL = 251;
constexpr unsigned char SB = 250;
constexpr unsigned char GA = 249;
constexpr unsigned char EL = 248;
constexpr unsigned char EC = 247;
constexpr unsigned char AYT = 246;
constexpr unsigned char AO = 245;
constexpr unsigned char IP = 244;
constexpr unsigned char BRK = 243;
constexpr unsigned char DM = 242;
constexpr unsigned char SE = 240;
constexpr unsigned char ABORT = 238;
constexpr unsigned char SUSP = 237;
constexpr unsigned char TEOF = 236;

// Options.
constexpr unsigned char ECHO_OPTION = 1;  // not ECHO: <termios.h> defines that name
constexpr unsigned char SUPPRESS_GO_AHEAD = 3;
constexpr unsigned char STATUS = 5;
constexpr unsigned char LOGOUT = 18;
constexpr unsigned char TERMINAL_TYPE = 24;
constexpr unsigned char NAWS = 31;
constexpr unsigned char LINEMODE = 34;
constexpr unsigned char AUTHENTICATION = 37;

// Sub-negotiation codes.
constexpr unsigned char IS = 0;
constexpr unsigned char SEND = 1;

}  // namespace TelnetCodes
