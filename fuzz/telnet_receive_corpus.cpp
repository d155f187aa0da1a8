// Writes the seed corpus of fuzz_telnet_receive into the directory given as
// the only argument: console conversations as a drone's login shell holds
// them, and the negotiation corners the client must get through. Each seed
// starts with the settings byte of the fuzz target.

#include "device/telnet/TelnetCodes.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

using namespace TelnetCodes;

namespace {

std::string b(std::initializer_list<unsigned char> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::string text(const char* s) {
    return std::string(s);
}

std::string zero() {
    return std::string(1, '\0');
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    const std::string settingsPlain = b({0});
    const std::string settingsAll = b({1 | 2 | 4});
    const std::string settingsNoPatterns = b({8});

    const std::vector<std::string> seeds = {
        // A busybox-like console: echo and window size, then the login.
        settingsPlain + b({IAC, DO, 1, IAC, DO, NAWS, IAC, WILL, 1, IAC, WILL, SUPPRESS_GO_AHEAD}) +
            text("\r\n(none) login: ") + zero() + text("Password: ") + zero() +
            text("\r\nWelcome to HiLinux.\r\n~ # ") + zero() +
            text("MASTER_VERSION=v3.3.9\r\n~ # "),
        // Plain login settled by refusal, then the prompts of the client.
        settingsAll + b({IAC, DONT, AUTHENTICATION}) + text("login: ") + zero() +
            text("Password:\t") + zero() + text("# "),
        // NULL authentication and terminal type.
        settingsPlain +
            b({IAC, DO, AUTHENTICATION, IAC, SB, AUTHENTICATION, SEND, 0,   0, 5, 2, IAC, SE,
               IAC, DO, TERMINAL_TYPE,  IAC, SB, TERMINAL_TYPE,  SEND, IAC, SE}) +
            text("login: "),
        settingsNoPatterns + b({IAC, SB, AUTHENTICATION, SEND, IAC, SE, IAC, DONT, AUTHENTICATION}),
        // Window size negotiated with a size containing 255.
        settingsAll + b({IAC, DO, NAWS, IAC, DONT, NAWS, IAC, DO, NAWS, IAC, SB, NAWS, 0, 80, 0, 24,
                         IAC, SE}),
        // Two-byte commands, doubled IAC, bare DM, empty and unknown
        // sub-negotiations inside text.
        settingsPlain + text("a") +
            b({IAC, 241, IAC, GA, IAC, IAC, DM, IAC, DM, IAC, SB, IAC, SE, IAC, SB, 99, 1, IAC,
               SE}) +
            text("b"),
        // The peer logs us out.
        settingsPlain + b({IAC, DO, LOGOUT, IAC, WONT, LOGOUT}) + text("after"),
        // An unterminated sub-negotiation longer than the client keeps queued.
        settingsPlain + b({IAC, SB, TERMINAL_TYPE, SEND}) + std::string(4200, 'x'),
        // Every option operation on every option class.
        settingsAll + b({IAC,  WILL,   STATUS, IAC,  WONT,     STATUS, IAC, DO,       STATUS, IAC,
                         DONT, STATUS, IAC,    WILL, LINEMODE, IAC,    DO,  LINEMODE, IAC,    WILL,
                         200,  IAC,    DO,     200,  IAC,      DONT,   200, IAC,      WONT,   200}),
    };

    for (size_t i = 0; i < seeds.size(); ++i) {
        const std::string path = std::string(argv[1]) + "/seed-" + std::to_string(i);
        std::ofstream out(path, std::ios::binary);
        out << seeds[i];
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
