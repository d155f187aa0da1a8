// Drives the TELNET client's receive path with arbitrary bytes cut into
// arbitrary reads. The client sits on one end of a connected socket pair, so
// that its answers (negotiation, sub-negotiation, login) really go out; the
// console session reacts to every text it passes on.
//
// Input: the first byte selects the client's settings (window size, prompt
// patterns); the read sizes are taken from the end of the input, the bytes
// of the reads from the front.

#include "device/telnet/QtTelnet.h"
#include "device/telnet/QtTelnetPrivate.h"
#include "device/telnet/Telnet.h"

#include <QCoreApplication>
#include <QTcpSocket>

#include <fuzzer/FuzzedDataProvider.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void dropMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

void drain(int fd) {
    char sink[4096];
    while (::recv(fd, sink, sizeof sink, MSG_DONTWAIT) > 0) {
    }
}

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_NO_GLIB", "1");
    static QCoreApplication app(*argc, *argv);
    qInstallMessageHandler(dropMessages);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds) != 0) {
        return 0;
    }

    QtTelnet owner;
    Telnet console;
    QObject::connect(&owner, &QtTelnet::message, &console, &Telnet::onMessage);
    QtTelnetPrivate client(&owner);

    const uint8_t settings = input.ConsumeIntegral<uint8_t>();
    if (settings & 1) {
        client.windowWidth = (settings & 2) ? 255 : 80;
        client.windowHeight = 24;
    }
    if (settings & 4) {
        client.promptPattern = QRegExp(QStringLiteral("# $"));
    }
    if (settings & 8) {
        client.loginPattern = QRegExp();
        client.passwordPattern = QRegExp();
    }
    client.loginName = QStringLiteral("root\r\n");
    client.password = QStringLiteral("secret\r\n");

    auto* socket = new QTcpSocket;
    if (!socket->setSocketDescriptor(fds[0])) {
        std::fprintf(stderr, "cannot adopt the socket pair\n");
        std::abort();
    }
    client.setSocket(socket);
    check(client.connected, "an adopted connected socket counts as connected");

    while (input.remaining_bytes() > 0) {
        const size_t readSize = input.ConsumeIntegralInRange<size_t>(1, 512);
        const std::string bytes = input.ConsumeBytesAsString(readSize);
        client.receiveData(QByteArray(bytes.data(), int(bytes.size())));
        if (client.socket) {
            client.socket->flush();
        }
        drain(fds[1]);

        int pending = 0;
        for (const QByteArray& chunk : client.pendingData) {
            pending += chunk.size();
        }
        check(pending <= QtTelnetPrivate::kMaxPendingBytes, "queued bytes stay bounded");
        check(client.sentCommands.size() <= 4 * 256, "pending requests stay bounded");
        check(client.password.isEmpty() || !client.passwordSent, "the password is wiped once sent");
    }
    ::close(fds[1]);
    return 0;
}
