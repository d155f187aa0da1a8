#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QElapsedTimer>
#include <QTcpServer>

// A one-response HTTP server for tests: every request on any connection gets
// the configured status and body, then the connection is closed. Records the
// request lines it saw.
class FakeHttpServer : public QTcpServer {
    Q_OBJECT

public:
    explicit FakeHttpServer(QObject* parent = nullptr);

    void setResponse(int status, const QByteArray& body) {
        m_status = status;
        m_body = body;
    }
    const QList<QByteArray>& requestLines() const { return m_requestLines; }
    // Milliseconds on a monotonic clock at which each request was complete.
    const QList<qint64>& requestTimes() const { return m_requestTimes; }

private:
    void onNewConnection();

    int m_status = 200;
    QByteArray m_body = "Success";
    QList<QByteArray> m_requestLines;
    QList<qint64> m_requestTimes;
    QElapsedTimer m_clock;
};
