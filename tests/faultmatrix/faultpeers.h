#ifndef FAULTPEERS_H
#define FAULTPEERS_H

// Peers that misbehave on purpose, all on 127.0.0.1 or a pseudo-terminal: a cutter at the
// byte level, a pseudo-terminal cutter that acknowledges pages, and an HTTP service that
// answers whatever a test tells it to.
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>

class PseudoTerminal;

// Records every byte the device sends and answers nothing by itself; a test decides when to
// close, reset or answer.
class RawPeer : public QObject
{
    Q_OBJECT
public:
    RawPeer();
    quint16 port() const { return server.serverPort(); }
    const QByteArray& bytes() const { return input; }
    bool isConnected() const { return client && client->state() == QAbstractSocket::ConnectedState; }
    // Called after each read, with everything received so far.
    std::function<void(RawPeer&)> onBytes;
    void send(const QByteArray& data);
    // An orderly close (FIN), or a reset (RST) that discards what is in flight.
    void close();
    void reset();

private:
    QTcpServer server;
    QPointer<QTcpSocket> client;
    QByteArray input;
};

// The cutter on the master side of a pseudo-terminal: acknowledges each page ("CCMD;4,0;")
// unless told to stop, and counts the frames it got.
class PtyCutter : public QObject
{
    Q_OBJECT
public:
    explicit PtyCutter(PseudoTerminal& pty);
    QList<QByteArray> frames;
    bool answerPages = true;
    // Called for each whole frame received.
    std::function<void(const QByteArray& frame)> onFrame;

private:
    void cut();
    PseudoTerminal& pty;
    int consumed = 0;
};

// A bare HTTP/1.1 service: answers every request with the configured status and body (or
// never, or by closing the connection), and counts requests per path.
class HttpPeer : public QObject
{
    Q_OBJECT
public:
    enum Mode {
        Answer,
        Silent,
        Close
    };
    HttpPeer();
    quint16 port() const { return server.serverPort(); }
    Mode mode = Answer;
    int status = 200;
    QByteArray body;
    QStringList paths; // "VERB /path" of each request in order, without the query

private:
    void onReadyRead(QTcpSocket* socket);
    QTcpServer server;
};

#endif // FAULTPEERS_H
