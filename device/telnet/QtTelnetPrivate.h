#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QQueue>
#include <QRegExp>
#include <QString>

class QTcpSocket;
class QtTelnet;
class QtTelnetAuth;

// Protocol state and socket of one QtTelnet. Emits the owner's signals.
//
// Received bytes go through `receiveData`, which the socket's readyRead drives
// and which also takes bytes that did not come from a socket (the fuzz target
// feeds it directly). Incomplete command sequences stay queued until more
// bytes arrive; an unterminated sub-negotiation longer than
// kMaxPendingBytes is dropped with a debug line.
class QtTelnetPrivate : public QObject {
    Q_OBJECT

public:
    // Longest incomplete sequence kept queued between reads (bytes).
    static constexpr int kMaxPendingBytes = 4096;

    explicit QtTelnetPrivate(QtTelnet* owner);
    ~QtTelnetPrivate() override;

    // Queues `bytes` after the unconsumed rest of earlier reads and consumes
    // as much as can be parsed.
    void receiveData(const QByteArray& bytes);

    // Writes one IAC sequence. A three-byte negotiation equal to one of our
    // own pending requests is taken as its answer: the request is removed
    // and nothing is written.
    void sendCommand(const QByteArray& command);
    void sendCommand(unsigned char command, unsigned char option);
    void sendString(const QString& text);
    // One DM byte as TCP urgent data, after flushing the normal stream.
    void sendUrgentDataMark();
    void sendWindowSize();

    bool isValidWindowSize() const;
    // Overwrites the stored password with blanks, then empties it.
    void wipePassword();
    void setSocket(QTcpSocket* newSocket);

    QMap<unsigned char, bool> optionModes;
    QList<QPair<unsigned char, unsigned char>> sentCommands;
    QtTelnet* owner;
    QTcpSocket* socket;
    QQueue<QByteArray> pendingData;
    int windowWidth;
    int windowHeight;
    bool connected;
    bool isLoggedIn;
    bool loginSent;
    bool passwordSent;
    bool firstPrompt;
    QMap<int, QtTelnetAuth*> authenticators;
    QtTelnetAuth* currentAuth;
    bool plainLogin;
    QRegExp loginPattern;
    QRegExp passwordPattern;
    QRegExp promptPattern;
    QString loginName;
    QString password;

public slots:
    void socketConnected();
    void socketConnectionClosed();
    void socketReadyRead();
    void socketError(QAbstractSocket::SocketError error);

private:
    void consume();
    // Each returns the number of bytes consumed from `buffer` at `start`;
    // 0 means the sequence is incomplete and must wait for more bytes.
    int parseCommand(const QByteArray& buffer, int start);
    int parseNegotiation(unsigned char operation, unsigned char option);
    int parseSubNegotiation(const QByteArray& buffer, int start);
    int parseText(const QByteArray& buffer, int start);
    void handleText(QString text);
    void sendTerminalType(const QByteArray& subOption);
    void authenticate(const QByteArray& subOption);
    bool isOptionAllowed(unsigned char option) const;
};
