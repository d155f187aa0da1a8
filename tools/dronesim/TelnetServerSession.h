#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <array>

class QTcpSocket;
class QTimer;

// One TELNET console connection, server side, on the drone's HiLinux shell.
//
// Negotiation: on connect the session asks for the client's terminal type
// (DO TERMINAL-TYPE) and offers to echo and to suppress go-ahead (WILL ECHO,
// WILL SUPPRESS-GO-AHEAD). A request from the client is granted when the option
// is one of those (or NAWS, whose size is only logged) and refused (DONT/WONT)
// otherwise; an answer to one of our own requests is never answered again, so
// no negotiation loop can arise. The login prompt waits until the negotiation
// has been quiet for a moment, so that no option command arrives at the client
// after text in the same read.
//
// Dialogue: "login: " → user name; "Password: " → password; user "root" with an
// empty password logs in, anything else gets "Login incorrect" and a new prompt.
// Logged in: the banner "Welcome to HiLinux." and the shell prompt "~ # ";
// "cat /etc/master-version" answers "MASTER_VERSION=<version>"; "reboot" emits
// rebootRequested() and closes the connection; "exit" closes it; anything else is
// "not found". Lines end with CR LF, CR NUL or LF; a line longer than 1024 bytes
// is cut there.
class TelnetServerSession : public QObject {
    Q_OBJECT

public:
    TelnetServerSession(QTcpSocket* socket, QString version, QObject* parent = nullptr);

signals:
    void rebootRequested();
    void event(const QString& text);  // a line for the console's event log

private:
    enum class Stage { Negotiating, User, Password, Shell, Closed };
    enum class ParseState { Data, Iac, Option, Sub, SubIac, AfterCr };

    void onReadyRead();
    void feed(unsigned char byte);
    void onOptionCommand(unsigned char command, unsigned char option);
    void onSubnegotiation(const QByteArray& data);
    void onLine(const QByteArray& line);
    void sendCommand(unsigned char command, unsigned char option);
    void sendText(const QByteArray& text);
    void sendPrompt();
    void closeSession();
    bool supportsLocal(unsigned char option) const;
    bool supportsRemote(unsigned char option) const;

    QTcpSocket* m_socket;
    QString m_version;
    QTimer* m_quietTimer;
    Stage m_stage = Stage::Negotiating;
    ParseState m_parse = ParseState::Data;
    unsigned char m_pendingCommand = 0;
    QByteArray m_sub;
    QByteArray m_line;
    QByteArray m_user;
    // Per option: enabled on our side (we WILL), on the client's side (it WILL),
    // and our own requests still waiting for their answer.
    std::array<bool, 256> m_local{};
    std::array<bool, 256> m_remote{};
    std::array<bool, 256> m_awaitLocal{};
    std::array<bool, 256> m_awaitRemote{};
};
