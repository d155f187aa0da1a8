#pragma once

#include <QAbstractSocket>
#include <QObject>
#include <QRegExp>
#include <QSize>
#include <QString>

class QTcpSocket;
class QtTelnetPrivate;

// A small TELNET client over a QTcpSocket. On connection it offers
// authentication and line mode and asks for suppress-go-ahead and status;
// it answers the peer's option requests, the terminal-type and authentication
// sub-negotiations, and hands every piece of received text to `message`.
// With plain-text login (the peer refused or nulled authentication) it answers
// the login and password prompts with the credentials given to `login`.
//
// Everything runs on the owning thread, driven by the socket's signals. Writes
// while not connected are dropped silently; errors are reported by
// `connectionError`, the end of the connection by `loggedOut`.
class QtTelnet : public QObject {
    Q_OBJECT

public:
    // Special functions sent by `sendControl` (IAC and the function's byte).
    enum Control {
        GoAhead,           // GA
        InterruptProcess,  // IP, followed by an urgent DM
        AreYouThere,       // AYT, followed by an urgent DM
        AbortOutput,       // AO, followed by an urgent DM
        EraseCharacter,    // EC
        EraseLine,         // EL
        Break,             // BRK
        EndOfFile,         // EOF
        Suspend,           // SUSP
        Abort              // ABORT
    };
    Q_ENUM(Control)

    explicit QtTelnet(QObject* parent = nullptr);
    ~QtTelnet() override;

    // Starts connecting (does nothing while connected). The option requests
    // go out once the socket reports the connection.
    void connectToHost(const QString& host, quint16 port = 23);

    // Credentials for the login and password prompts. The password is wiped
    // from memory once it has been sent.
    void login(const QString& user, const QString& password);

    // Prompt patterns matched against each received text; an empty pattern
    // disables its prompt. Defaults: "ogin:\\s*$" and "assword:\\s*$"; the
    // shell prompt pattern (login completed) is empty.
    void setLoginPattern(const QRegExp& pattern);
    void setPasswordPattern(const QRegExp& pattern);
    void setPromptPattern(const QRegExp& pattern);

    // Terminal size in characters for NAWS; negative values mean unset.
    void setWindowSize(const QSize& size);
    void setWindowSize(int width, int height);
    // The stored size while the peer has NAWS enabled, else -1 x -1.
    QSize windowSize() const;
    bool isValidWindowSize() const;

    // Replaces the socket: the old one is asked to log out, flushed and
    // deleted; this object takes ownership of `socket`.
    void setSocket(QTcpSocket* socket);
    QTcpSocket* socket() const;

public slots:
    void close();
    void logout();
    void sendControl(Control control);
    // Sends the text in the local 8-bit encoding, as it is (no line ending).
    void sendData(const QString& data);
    // Sends the TELNET synch: one DM byte as TCP urgent data.
    void sendSync();

signals:
    void loginRequired();
    void loginFailed();
    void loggedIn();
    void loggedOut();
    void connectionError(QAbstractSocket::SocketError error);
    void message(const QString& data);

private:
    QtTelnetPrivate* d;
};
