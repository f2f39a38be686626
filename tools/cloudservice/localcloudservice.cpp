#include "localcloudservice.h"

#include <QJsonDocument>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 413: return "Payload Too Large";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

QJsonObject detail(const QString& text) { return QJsonObject{{QStringLiteral("detail"), text}}; }

} // namespace

QJsonObject LocalCloudService::Request::json() const
{
    return QJsonDocument::fromJson(body).object();
}

LocalCloudService::LocalCloudService(QObject* parent)
    : QObject(parent), wsServer(QStringLiteral("ktrv8-cloud"), QWebSocketServer::NonSecureMode)
{
    connect(&server, &QTcpServer::newConnection, this, &LocalCloudService::onNewConnection);
    connect(&wsServer, &QWebSocketServer::newConnection, this, &LocalCloudService::onWebSocket);
}

LocalCloudService::~LocalCloudService()
{
    // The sockets' own signals must not reach this object while it is half destroyed.
    const QList<QTcpSocket*> sockets = connections.keys();
    connections.clear();
    for (QTcpSocket* socket : sockets) {
        disconnect(socket, nullptr, this, nullptr);
        socket->abort();
        delete socket;
    }
    for (auto it = channels.begin(); it != channels.end(); ++it) {
        if (it.value())
            it.value()->abort();
    }
}

bool LocalCloudService::listen(quint16 port)
{
    return server.listen(QHostAddress::LocalHost, port);
}

QUrl LocalCloudService::httpBase() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port()));
}

QString LocalCloudService::wsBase() const { return QStringLiteral("ws://127.0.0.1:%1/").arg(port()); }

int LocalCloudService::addDeviceModel(int code, const QString& name)
{
    const int id = nextId++;
    models.insert(id, QJsonObject{{QStringLiteral("id"), id}, {QStringLiteral("code"), code},
                                  {QStringLiteral("name"), name}});
    return id;
}

int LocalCloudService::addDevice(const QJsonObject& record)
{
    QJsonObject stored = record;
    const int id = nextId++;
    stored.insert(QStringLiteral("id"), id);
    devices.insert(id, stored);
    return id;
}

QJsonObject LocalCloudService::deviceByCode(const QString& code) const
{
    for (const QJsonObject& d : devices) {
        if (d.value(QStringLiteral("code")).toString() == code)
            return d;
    }
    return {};
}

QList<LocalCloudService::Request> LocalCloudService::requests(const QString& resource) const
{
    QList<Request> out;
    for (const Request& r : received) {
        if (r.resource == resource)
            out.append(r);
    }
    return out;
}

// --- HTTP -------------------------------------------------------------------------------

void LocalCloudService::onNewConnection()
{
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        connections.insert(socket, Connection());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            connections.remove(socket);
            socket->deleteLater();
        });
    }
}

void LocalCloudService::onReadyRead(QTcpSocket* socket)
{
    if (!connections.contains(socket))
        return;
    if (connections[socket].buffer.isEmpty() && isUpgrade(socket)) {
        handOverToWebSocket(socket);
        return;
    }
    connections[socket].buffer += socket->readAll();
    processBuffer(socket);
}

// A WebSocket handshake is left unread so that the WebSocket server can read it itself.
bool LocalCloudService::isUpgrade(QTcpSocket* socket) const
{
    const QByteArray head = socket->peek(MaxHeaderBytes).toLower();
    const int end = head.indexOf("\r\n\r\n");
    return end > 0 && head.left(end).contains("upgrade: websocket");
}

void LocalCloudService::handOverToWebSocket(QTcpSocket* socket)
{
    connections.remove(socket);
    disconnect(socket, nullptr, this, nullptr);
    wsServer.handleConnection(socket);
}

void LocalCloudService::processBuffer(QTcpSocket* socket)
{
    while (connections.contains(socket) && !connections[socket].waiting) {
        Request request;
        bool keepAlive = true;
        if (!takeRequest(socket, request, keepAlive))
            return;
        received.append(request);
        emit requestReceived(received.size() - 1);
        dispatch(socket, request, keepAlive);
    }
}

// Takes one complete request from the buffer; false when more bytes are needed or the
// request was refused.
bool LocalCloudService::takeRequest(QTcpSocket* socket, Request& request, bool& keepAlive)
{
    QByteArray& buffer = connections[socket].buffer;
    const int headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0) {
        if (buffer.size() > MaxHeaderBytes)
            refuse(socket, 431);
        return false;
    }
    if (headerEnd > MaxHeaderBytes) {
        refuse(socket, 431);
        return false;
    }
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> start = lines.value(0).trimmed().split(' ');
    if (start.size() != 3 || !start.at(2).startsWith("HTTP/1.")) {
        refuse(socket, 400);
        return false;
    }
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines.at(i).indexOf(':');
        if (colon > 0)
            request.headers.insert(lines.at(i).left(colon).trimmed().toLower(), lines.at(i).mid(colon + 1).trimmed());
    }
    if (request.headers.contains("transfer-encoding")) {
        refuse(socket, 501);
        return false;
    }
    bool lengthOk = true;
    const QByteArray lengthText = request.headers.value("content-length", "0");
    const qlonglong length = lengthText.toLongLong(&lengthOk);
    if (!lengthOk || length < 0) {
        refuse(socket, 400);
        return false;
    }
    if (length > MaxBodyBytes) {
        refuse(socket, 413);
        return false;
    }
    const int total = headerEnd + 4 + int(length);
    if (buffer.size() < total)
        return false;

    request.verb = start.at(0);
    const QUrl target(QString::fromLatin1(start.at(1)));
    request.path = target.path();
    request.query = QUrlQuery(target);
    request.resource = request.path;
    while (request.resource.startsWith(QLatin1Char('/')))
        request.resource.remove(0, 1);
    while (request.resource.endsWith(QLatin1Char('/')))
        request.resource.chop(1);
    request.body = buffer.mid(headerEnd + 4, int(length));
    buffer.remove(0, total);
    const QByteArray connection = request.headers.value("connection").toLower();
    keepAlive = start.at(2) == "HTTP/1.1" ? connection != "close" : connection == "keep-alive";
    return true;
}

bool LocalCloudService::takeFault(const QString& resource, Fault& fault)
{
    auto it = faults.find(resource);
    if (it == faults.end())
        return false;
    fault = it.value();
    if (it->times > 0 && --it->times == 0)
        faults.erase(it);
    return true;
}

void LocalCloudService::dispatch(QTcpSocket* socket, const Request& request, bool keepAlive)
{
    Fault fault;
    if (!takeFault(request.resource, fault)) {
        reply(socket, answer(request), keepAlive);
        return;
    }
    if (fault.silent) {
        connections[socket].waiting = true; // this connection never answers again
        return;
    }
    // An injected status answers without touching the records, as a failing service would.
    const Answer result = fault.status ? Answer{fault.status, detail(QStringLiteral("injected"))} : answer(request);
    if (fault.delayMs <= 0) {
        reply(socket, result, keepAlive);
        return;
    }
    connections[socket].waiting = true;
    QPointer<QTcpSocket> guard(socket);
    QTimer::singleShot(fault.delayMs, this, [this, guard, result, keepAlive] {
        if (!guard || !connections.contains(guard.data()))
            return;
        connections[guard.data()].waiting = false;
        reply(guard.data(), result, keepAlive);
        processBuffer(guard.data());
    });
}

LocalCloudService::Answer LocalCloudService::answer(const Request& request)
{
    if (request.resource == QLatin1String("device"))
        return deviceResource(request);
    if (request.resource == QLatin1String("device_model"))
        return deviceModelResource(request);
    if (request.resource == QLatin1String("device_work_records"))
        return workRecordResource(request);
    return {404, detail(QStringLiteral("unknown resource"))};
}

// GET ?code=... looks a device up by its code; PUT updates the entry named by "id".
LocalCloudService::Answer LocalCloudService::deviceResource(const Request& request)
{
    if (request.verb == "GET") {
        const QString code = request.query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded);
        if (code.isEmpty())
            return {400, detail(QStringLiteral("code required"))};
        const QJsonObject found = deviceByCode(code);
        if (found.isEmpty())
            return {404, detail(QStringLiteral("Not found."))};
        return {200, found};
    }
    if (request.verb == "PUT") {
        const QJsonObject body = request.json();
        const int id = body.value(QStringLiteral("id")).toInt(-1);
        if (id < 0)
            return {400, detail(QStringLiteral("id required"))};
        if (!devices.contains(id))
            return {404, detail(QStringLiteral("Not found."))};
        QJsonObject stored = devices.value(id);
        for (auto it = body.begin(); it != body.end(); ++it)
            stored.insert(it.key(), it.value());
        devices.insert(id, stored);
        return {200, stored};
    }
    return {405, detail(QStringLiteral("method not allowed"))};
}

// PATCH {"code": model number} finds a device model; POST creates a device entry.
LocalCloudService::Answer LocalCloudService::deviceModelResource(const Request& request)
{
    const QJsonObject body = request.json();
    if (request.verb == "PATCH") {
        const QJsonValue code = body.value(QStringLiteral("code"));
        if (!code.isDouble())
            return {400, detail(QStringLiteral("code required"))};
        for (const QJsonObject& m : models) {
            if (m.value(QStringLiteral("code")).toDouble() == code.toDouble())
                return {200, m};
        }
        return {404, detail(QStringLiteral("Not found."))};
    }
    if (request.verb == "POST") {
        const QString code = body.value(QStringLiteral("code")).toString();
        if (code.isEmpty())
            return {400, detail(QStringLiteral("code required"))};
        if (!deviceByCode(code).isEmpty())
            return {400, detail(QStringLiteral("device exists"))};
        const int id = addDevice(body);
        return {200, devices.value(id)};
    }
    return {405, detail(QStringLiteral("method not allowed"))};
}

LocalCloudService::Answer LocalCloudService::workRecordResource(const Request& request)
{
    if (request.verb != "POST")
        return {405, detail(QStringLiteral("method not allowed"))};
    const QJsonDocument doc = QJsonDocument::fromJson(request.body);
    if (!doc.isObject())
        return {400, detail(QStringLiteral("object required"))};
    QJsonObject record = doc.object();
    if (!devices.contains(record.value(QStringLiteral("device")).toInt(-1)))
        return {400, detail(QStringLiteral("unknown device"))};
    record.insert(QStringLiteral("id"), nextId++);
    records.append(record);
    return {200, record};
}

void LocalCloudService::reply(QTcpSocket* socket, const Answer& answer, bool keepAlive)
{
    const QByteArray body = QJsonDocument(answer.body).toJson(QJsonDocument::Compact);
    QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + reasonPhrase(answer.status) + "\r\n";
    head += "Content-Type: application/json\r\n";
    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    socket->write(head + body);
    if (!keepAlive) {
        connections[socket].waiting = true;
        socket->disconnectFromHost();
    }
}

void LocalCloudService::refuse(QTcpSocket* socket, int status)
{
    connections[socket].buffer.clear();
    reply(socket, {status, detail(QString::fromLatin1(reasonPhrase(status)))}, false);
}

// --- Device channel ---------------------------------------------------------------------

void LocalCloudService::onWebSocket()
{
    while (QWebSocket* socket = wsServer.nextPendingConnection()) {
        socket->setParent(this);
        // The channel is "/<code>/Device/"; anything else is turned away.
        paths.append(socket->requestUrl().path());
        const QStringList parts = paths.last().split(QLatin1Char('/'));
        const bool valid = parts.size() == 4 && parts.at(0).isEmpty() && !parts.at(1).isEmpty() &&
                           parts.at(2) == QLatin1String("Device") && parts.at(3).isEmpty();
        if (!valid) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("unknown channel"));
            socket->deleteLater();
            continue;
        }
        const QString code = parts.at(1);
        if (QWebSocket* previous = channels.value(code))
            previous->deleteLater();
        channels.insert(code, socket);
        connect(socket, &QWebSocket::textMessageReceived, this, [this, code](const QString& text) {
            texts[code].append(text);
            emit deviceTextReceived(code, text);
        });
        connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
        emit deviceChannelOpened(code);
    }
}

QStringList LocalCloudService::connectedDevices() const
{
    QStringList codes;
    for (auto it = channels.begin(); it != channels.end(); ++it) {
        if (it.value() && it.value()->state() == QAbstractSocket::ConnectedState)
            codes.append(it.key());
    }
    codes.sort();
    return codes;
}

bool LocalCloudService::sendToDevice(const QString& code, const QString& text)
{
    QWebSocket* socket = channels.value(code);
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return false;
    return socket->sendTextMessage(text) == text.toUtf8().size();
}

void LocalCloudService::closeDevice(const QString& code)
{
    if (QWebSocket* socket = channels.value(code))
        socket->close();
}
