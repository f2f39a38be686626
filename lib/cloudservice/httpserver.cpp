#include "httpserver.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <boost/beast/http.hpp>
#include <boost/beast/websocket/rfc6455.hpp>

namespace http = boost::beast::http;

namespace {

using Parser = http::request_parser<http::string_body>;

QByteArray bytesOf(boost::beast::string_view text)
{
    return QByteArray(text.data(), int(text.size()));
}

// The status that answers a framing error: the limits have their own, the rest is malformed.
int statusFor(const boost::system::error_code& error)
{
    if (error == http::error::header_limit)
        return 431;
    if (error == http::error::body_limit)
        return 413;
    return 400;
}

HttpAnswer problem(int status)
{
    return {status, QJsonObject{{QStringLiteral("detail"), QString::fromLatin1(HttpServer::reasonPhrase(status))}}};
}

} // namespace

QJsonObject HttpRequest::json() const
{
    return QJsonDocument::fromJson(body).object();
}

struct HttpServer::Connection
{
    QTcpSocket* socket = nullptr;
    QHostAddress peer;
    QByteArray unparsed;
    std::unique_ptr<Parser> parser;
    HttpRequest request; // the head of the request being read
    QTimer idle;
    bool started = false; // bytes were read: no handshake can come any more
    bool waiting = false; // an answer is owed
    bool closing = false; // the last answer is out, the connection closes
    bool keepAlive = true;
    bool head = false; // the owed answer is to HEAD: no body
    bool inProcess = false;
};

HttpServer::HttpServer(QObject* parent) : QObject(parent)
{
    connect(&server, &QTcpServer::newConnection, this, &HttpServer::onNewConnection);
}

HttpServer::~HttpServer()
{
    // The sockets' own signals must not reach this object while it is half destroyed.
    for (auto& entry : connections) {
        disconnect(entry.second->socket, nullptr, this, nullptr);
        entry.second->socket->abort();
        delete entry.second->socket;
    }
    connections.clear();
}

bool HttpServer::listen(const QHostAddress& address, quint16 port)
{
    return server.listen(address, port);
}

QByteArray HttpServer::reasonPhrase(int status)
{
    const auto reason = http::obsolete_reason(http::int_to_status(unsigned(status)));
    return reason.empty() ? QByteArray("Status") : bytesOf(reason);
}

bool HttpServer::admit(const QHostAddress& peer) const
{
    return int(connections.size()) < bounds.connections && perAddress.value(peer) < bounds.perAddress;
}

void HttpServer::onNewConnection()
{
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        const QHostAddress peer = socket->peerAddress();
        if (!admit(peer)) { // refused before anything is read or kept
            socket->abort();
            socket->deleteLater();
            continue;
        }
        const quint64 id = nextId++;
        auto c = std::make_unique<Connection>();
        c->socket = socket;
        c->peer = peer;
        socket->setReadBufferSize(bounds.headerBytes + 64 * 1024);
        c->idle.setSingleShot(true);
        c->idle.setInterval(bounds.idleMs);
        // Dropped once the timer's own signal has returned: dropping frees the timer.
        connect(&c->idle, &QTimer::timeout, this, [this, id] {
            QMetaObject::invokeMethod(
                this, [this, id] { drop(id); }, Qt::QueuedConnection);
        });
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { onReadable(id); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, id] { process(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] { drop(id); });
        c->idle.start();
        ++perAddress[peer];
        connections.emplace(id, std::move(c));
    }
}

HttpServer::Connection* HttpServer::find(quint64 id)
{
    const auto it = connections.find(id);
    return it == connections.end() ? nullptr : it->second.get();
}

void HttpServer::drop(quint64 id)
{
    const auto it = connections.find(id);
    if (it == connections.end())
        return;
    std::unique_ptr<Connection> c = std::move(it->second);
    connections.erase(it);
    if (--perAddress[c->peer] <= 0)
        perAddress.remove(c->peer);
    disconnect(c->socket, nullptr, this, nullptr);
    c->socket->abort();
    c->socket->deleteLater();
}

void HttpServer::onReadable(quint64 id)
{
    Connection* c = find(id);
    if (!c || c->closing)
        return;
    if (!c->waiting)
        c->idle.start();
    if (!c->started && handOverUpgrade(id, *c))
        return;
    if (!c->started && !c->socket->peek(bounds.headerBytes + 1).contains("\r\n\r\n")
        && c->socket->bytesAvailable() <= bounds.headerBytes)
        return; // the first head is incomplete: it may still turn out to be a handshake
    c->started = true;
    process(id);
}

// A complete first head that asks for a WebSocket leaves this server, unread.
bool HttpServer::handOverUpgrade(quint64 id, Connection& c)
{
    const QByteArray head = c.socket->peek(bounds.headerBytes + 1);
    const int end = head.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    http::request_parser<http::empty_body> parser;
    parser.eager(false);
    parser.header_limit(std::uint32_t(bounds.headerBytes));
    boost::system::error_code error;
    parser.put(boost::asio::buffer(head.constData(), std::size_t(end + 4)), error);
    if (error || !parser.is_header_done() || !boost::beast::websocket::is_upgrade(parser.get()))
        return false;
    QTcpSocket* socket = c.socket;
    if (--perAddress[c.peer] <= 0)
        perAddress.remove(c.peer);
    disconnect(socket, nullptr, this, nullptr);
    connections.erase(id); // c is gone from here on
    socket->setReadBufferSize(0);
    emit upgradeRequested(socket);
    return true;
}

void HttpServer::process(quint64 id)
{
    Connection* c = find(id);
    if (!c || c->inProcess || !c->started)
        return;
    c->inProcess = true;
    while ((c = find(id)) && !c->waiting && !c->closing && c->socket->bytesToWrite() <= bounds.pendingWrite) {
        c->unparsed += c->socket->readAll();
        const bool headDone = c->parser && c->parser->is_header_done();
        if (!(headDone ? parseBody(*c) : parseHead(*c) && parseBody(*c)))
            break;
        std::unique_ptr<Parser> parser = std::move(c->parser);
        HttpRequest request = std::move(c->request);
        request.body = QByteArray::fromStdString(parser->release().body());
        c->waiting = true;
        if (handle)
            handle(id, request);
    }
    if ((c = find(id)))
        c->inProcess = false;
}

// Reads the next head; false when more bytes are needed or the request was refused.
bool HttpServer::parseHead(Connection& c)
{
    if (c.unparsed.isEmpty())
        return false;
    c.parser = std::make_unique<Parser>();
    c.parser->header_limit(std::uint32_t(bounds.headerBytes));
    c.parser->body_limit(std::uint64_t(bounds.bodyBytes));
    c.parser->eager(false);
    boost::system::error_code error;
    const std::size_t used = c.parser->put(boost::asio::buffer(c.unparsed.constData(), c.unparsed.size()), error);
    if (error == http::error::need_more) {
        c.parser.reset(); // the head is parsed again from its start once it is complete
        return false;
    }
    if (error) {
        refuse(c, problem(statusFor(error)));
        return false;
    }
    c.unparsed.remove(0, int(used));
    const auto& head = c.parser->get();
    if (head.find(http::field::transfer_encoding) != head.end()) {
        refuse(c, problem(501)); // bodies come with a length here, never in chunks
        return false;
    }
    HttpRequest& r = c.request;
    r = HttpRequest();
    r.verb = bytesOf(head.method_string());
    const QUrl target(QString::fromLatin1(bytesOf(head.target())));
    r.path = target.path();
    r.query = QUrlQuery(target);
    r.resource = r.path;
    while (r.resource.startsWith(QLatin1Char('/')))
        r.resource.remove(0, 1);
    while (r.resource.endsWith(QLatin1Char('/')))
        r.resource.chop(1);
    for (const auto& field : head)
        r.headers.insert(bytesOf(field.name_string()).toLower(), bytesOf(field.value()));
    c.keepAlive = head.keep_alive();
    c.head = head.method() == http::verb::head;
    if (headCheck) {
        if (const std::optional<HttpAnswer> refusal = headCheck(r)) {
            refuse(c, *refusal);
            return false;
        }
    }
    c.parser->eager(true);
    return true;
}

bool HttpServer::parseBody(Connection& c)
{
    while (!c.parser->is_done()) {
        if (c.unparsed.isEmpty())
            return false;
        boost::system::error_code error;
        const std::size_t used = c.parser->put(boost::asio::buffer(c.unparsed.constData(), c.unparsed.size()), error);
        c.unparsed.remove(0, int(used));
        if (error == http::error::need_more)
            return false;
        if (error) {
            refuse(c, problem(statusFor(error)));
            return false;
        }
    }
    return true;
}

void HttpServer::refuse(Connection& c, const HttpAnswer& answer)
{
    c.unparsed.clear();
    c.parser.reset();
    c.keepAlive = false;
    c.head = false;
    write(c, answer);
}

void HttpServer::reply(quint64 id, const HttpAnswer& answer)
{
    Connection* c = find(id);
    if (!c || !c->waiting)
        return;
    c->waiting = false;
    write(*c, answer);
    if ((c = find(id)) && !c->closing)
        QTimer::singleShot(0, this, [this, id] { process(id); });
}

void HttpServer::hold(quint64 id)
{
    if (Connection* c = find(id)) {
        c->waiting = true;
        c->idle.stop();
    }
}

void HttpServer::write(Connection& c, const HttpAnswer& answer)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + reasonPhrase(answer.status) + "\r\n";
    head += "Content-Type: " + answer.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    // On every answer, JSON and refusals too: a browser that is sent here opens nothing in a
    // frame, guesses no type and runs no script from elsewhere.
    head += "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nX-Frame-Options: DENY\r\n"
            "Content-Security-Policy: default-src 'self'; connect-src 'self' ws: wss:; img-src 'self' data:; "
            "frame-ancestors 'none'\r\n";
    for (const auto& field : answer.headers)
        head += field.first + ": " + field.second + "\r\n";
    head += c.keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    c.socket->write(c.head ? head : head + answer.body);
    c.idle.start();
    if (!c.keepAlive) {
        c.closing = true;
        c.socket->disconnectFromHost();
    }
}
