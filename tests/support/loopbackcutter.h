#ifndef LOOPBACKCUTTER_H
#define LOOPBACKCUTTER_H

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>

// A scripted cutter on 127.0.0.1 for tests: accepts one client at a time, cuts what it
// receives into frames (STX..ETX), records them and answers through an optional script.
class LoopbackCutter : public QObject
{
    Q_OBJECT
public:
    using Script = std::function<QList<QByteArray>(const QByteArray& frame)>;

    explicit LoopbackCutter(QObject* parent = nullptr);
    quint16 port() const { return server.serverPort(); }

    // Frames received so far, STX..ETX inclusive, in order.
    const QList<QByteArray>& frames() const { return received; }
    // Payloads (the text between the first ";" and ETX) of the frames received so far.
    QStringList payloads() const;
    void clearFrames() { received.clear(); }

    bool waitForConnection(int timeoutMs = 5000);
    bool waitForFrames(int count, int timeoutMs = 5000);
    bool waitForDisconnect(int timeoutMs = 5000);
    bool isConnected() const;

    // Answers each received frame with the frames the script returns (none: silence).
    void setScript(Script script) { this->script = std::move(script); }
    void send(const QByteArray& bytes);
    void dropClient();
    void stopListening() { server.close(); }

    // A whole frame around payload, e.g. frame("CCMD;4,0;").
    static QByteArray frame(const QByteArray& payload);
    static QByteArray payloadOf(const QByteArray& frame);

signals:
    void frameReceived(const QByteArray& frame);

private:
    void onNewConnection();
    void onReadyRead();

    QTcpServer server;
    QPointer<QTcpSocket> client;
    QByteArray pending;
    QList<QByteArray> received;
    Script script;
};

#endif // LOOPBACKCUTTER_H
