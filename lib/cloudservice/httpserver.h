#ifndef HTTPSERVER_H
#define HTTPSERVER_H

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTcpServer>
#include <QUrlQuery>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class QTcpSocket;

struct HttpRequest
{
    QByteArray verb;
    QString path;     // as sent, without the query
    QString resource; // path without the surrounding "/"
    QUrlQuery query;
    QByteArray body;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QString actingAs;                     // the device a device token was given for; empty: the service's token
    QJsonObject json() const;             // the body as an object (empty if it is none)
};

struct HttpAnswer
{
    HttpAnswer(int code = 200, const QJsonObject& object = {})
        : status(code), body(QJsonDocument(object).toJson(QJsonDocument::Compact))
    {
    }
    HttpAnswer(int code, const QJsonArray& list)
        : status(code), body(QJsonDocument(list).toJson(QJsonDocument::Compact))
    {
    }
    HttpAnswer(int code, const QByteArray& bytes, const QByteArray& type) : status(code), body(bytes), contentType(type)
    {
    }
    HttpAnswer& with(const QByteArray& name, const QByteArray& value)
    {
        headers.append(qMakePair(name, value));
        return *this;
    }
    int status;
    QByteArray body;
    QByteArray contentType = "application/json";
    QList<QPair<QByteArray, QByteArray>> headers; // further header fields
};

// HTTP/1.1 on loopback or a shop's network: the framing is Boost.Beast's parser, the sockets
// Qt's. Each connection holds one parser and the bytes not yet parsed; nothing of a request
// stays once it is answered. WebSocket handshakes are handed over unread, in however many
// packets they come, so that a WebSocket server can read them itself.
class HttpServer : public QObject
{
    Q_OBJECT
public:
    struct Limits
    {
        int connections = 512; // open HTTP connections in all
        int perAddress = 128;  // from one client address
        int headerBytes = 16 * 1024;
        int bodyBytes = 1024 * 1024;
        int idleMs = 30000;                 // a connection that sends nothing for this long is closed
        int pendingWrite = 4 * 1024 * 1024; // answers a client has not read before reading stops
    };
    // Decides on a request from its head alone, before its body is read: an answer refuses it
    // (and closes the connection, leaving the body unread), none lets it through.
    using HeadCheck = std::function<std::optional<HttpAnswer>(const HttpRequest&)>;
    // Each complete request; the connection waits for reply() or hold() before the next one.
    using Handler = std::function<void(quint64 connection, const HttpRequest&)>;

    explicit HttpServer(QObject* parent = nullptr);
    ~HttpServer() override;

    void setLimits(const Limits& limits) { bounds = limits; }
    const Limits& limits() const { return bounds; }
    void setHeadCheck(HeadCheck check) { headCheck = std::move(check); }
    void setHandler(Handler handler) { handle = std::move(handler); }

    bool listen(const QHostAddress& address, quint16 port);
    QHostAddress serverAddress() const { return server.serverAddress(); }
    quint16 serverPort() const { return server.serverPort(); }
    int connectionCount() const { return int(connections.size()); }

    // Answers the request the connection waits on; a connection that is gone is ignored.
    void reply(quint64 connection, const HttpAnswer& answer);
    // The connection never answers again (it stays open until the client or the idle limit
    // closes it).
    void hold(quint64 connection);

    static QByteArray reasonPhrase(int status);

signals:
    // A WebSocket handshake, complete and unread; the socket is the receiver's from now on.
    void upgradeRequested(QTcpSocket* socket);

private:
    struct Connection;

    void onNewConnection();
    bool admit(const QHostAddress& peer) const;
    void onReadable(quint64 id);
    bool handOverUpgrade(quint64 id, Connection& c);
    void process(quint64 id);
    bool parseHead(Connection& c);
    bool parseBody(Connection& c);
    void refuse(Connection& c, const HttpAnswer& answer);
    void write(Connection& c, const HttpAnswer& answer);
    void drop(quint64 id);
    Connection* find(quint64 id);

    QTcpServer server;
    Limits bounds;
    HeadCheck headCheck;
    Handler handle;
    std::map<quint64, std::unique_ptr<Connection>> connections;
    QHash<QHostAddress, int> perAddress;
    quint64 nextId = 1;
};

#endif // HTTPSERVER_H
