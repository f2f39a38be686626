#include "localcloudservice.h"

#include "cloudstore.h"
#include "sqlstore.h"

#include <QFile>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>

#include <iterator>
#include <memory>

// Resources of a static library are registered by hand, and only outside a namespace.
static void initFleetPage()
{
    Q_INIT_RESOURCE(fleetpage);
}

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
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

QJsonObject detail(const QString& text)
{
    return QJsonObject{{QStringLiteral("detail"), text}};
}

// The fleet page's files, by resource name; empty for anything else.
QString pageFile(const QString& resource)
{
    if (resource.isEmpty() || resource == QLatin1String("index.html"))
        return QStringLiteral(":/fleet/index.html");
    if (resource == QLatin1String("page.js") || resource == QLatin1String("page.css"))
        return QStringLiteral(":/fleet/") + resource;
    return QString();
}

// The JSON type each known field must have; fields not listed are kept as they come.
struct FieldRule
{
    const char* key;
    QJsonValue::Type type;
};

constexpr FieldRule DeviceFields[] = {
    {"id", QJsonValue::Double},           {"code", QJsonValue::String},      {"pcb", QJsonValue::String},
    {"version", QJsonValue::String},      {"device_id", QJsonValue::String}, {"online", QJsonValue::Bool},
    {"device_model", QJsonValue::Double},
};

constexpr FieldRule WorkRecordFields[] = {
    {"device", QJsonValue::Double},       {"end_time", QJsonValue::String},    {"task_time", QJsonValue::Double},
    {"softwareType", QJsonValue::Double}, {"task_copies", QJsonValue::Double}, {"finish_copies", QJsonValue::Double},
    {"page_area", QJsonValue::Double},    {"page_size", QJsonValue::String},   {"path_length", QJsonValue::Double},
    {"task_model", QJsonValue::Double},   {"work_model", QJsonValue::Double},
};

const char* typeName(QJsonValue::Type type)
{
    switch (type) {
    case QJsonValue::Double: return "a number";
    case QJsonValue::String: return "a string";
    case QJsonValue::Bool: return "true or false";
    default: return "something else";
    }
}

template <size_t N>
QString checkFields(const QJsonObject& body, const FieldRule (&rules)[N])
{
    for (const FieldRule& rule : rules) {
        const QJsonValue value = body.value(QLatin1String(rule.key));
        if (!value.isUndefined() && value.type() != rule.type)
            return QStringLiteral("\"%1\" must be %2").arg(QLatin1String(rule.key), QLatin1String(typeName(rule.type)));
    }
    return QString();
}

// An error text, or empty when body is one JSON object.
QString parseObject(const QByteArray& body, QJsonObject& object)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("malformed JSON at byte %1: %2").arg(error.offset).arg(error.errorString());
    if (!doc.isObject())
        return QStringLiteral("a JSON object is required");
    object = doc.object();
    return QString();
}

// ISO 8601 date or date and time; UTC unless the text names a zone.
QDateTime parseTime(const QString& text)
{
    QDateTime when = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!when.isValid())
        when = QDateTime(QDate::fromString(text, Qt::ISODate), QTime(0, 0), Qt::UTC);
    else if (when.timeSpec() == Qt::LocalTime)
        when.setTimeSpec(Qt::UTC);
    return when;
}

QByteArray csvField(const QJsonValue& value)
{
    QString text = value.isString()   ? value.toString()
                   : value.isDouble() ? QString::number(value.toDouble(), 'g', 15)
                                      : QString();
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) || text.contains(QLatin1Char('\n')))
        text = QLatin1Char('"') + text.replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
    return text.toUtf8();
}

QByteArray workRecordsCsv(const QList<QJsonObject>& records)
{
    static const char* const columns[] = {"id",          "device",        "end_time",  "task_time",
                                          "task_copies", "finish_copies", "page_size", "page_area",
                                          "path_length", "task_model",    "work_model"};
    QByteArray csv;
    for (const char* column : columns)
        csv += QByteArray(column) + (column == columns[std::size(columns) - 1] ? "\r\n" : ",");
    for (const QJsonObject& r : records) {
        QByteArrayList row;
        for (const char* column : columns)
            row << csvField(r.value(QLatin1String(column)));
        csv += row.join(',') + "\r\n";
    }
    return csv;
}

} // namespace

QJsonObject LocalCloudService::Request::json() const
{
    return QJsonDocument::fromJson(body).object();
}

LocalCloudService::LocalCloudService(QObject* parent)
    : QObject(parent), wsServer(QStringLiteral("ktrv8-cloud"), QWebSocketServer::NonSecureMode), store(new MemoryStore)
{
    initFleetPage();
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
    // Nor may the channels' disconnection handlers, which write to the store.
    for (auto it = channels.begin(); it != channels.end(); ++it) {
        if (it.value()) {
            disconnect(it.value(), nullptr, this, nullptr);
            it.value()->abort();
        }
    }
    for (const QPointer<QWebSocket>& feed : qAsConst(pageFeeds)) {
        if (feed) {
            disconnect(feed, nullptr, this, nullptr);
            feed->abort();
        }
    }
}

bool LocalCloudService::useDatabase(const QString& location, QString* error)
{
    std::unique_ptr<SqlStore> opened = SqlStore::open(location, error);
    if (!opened)
        return false;
    store = std::move(opened);
    return true;
}

bool LocalCloudService::listen(quint16 port)
{
    return listen(QHostAddress::LocalHost, port);
}

bool LocalCloudService::listen(const QHostAddress& address, quint16 port)
{
    return server.listen(address, port);
}

// The address clients on this machine reach; a wildcard listener is reached on loopback too.
static QString reachableHost(const QHostAddress& address)
{
    if (address == QHostAddress::Any || address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6
        || address.isNull())
        return QStringLiteral("127.0.0.1");
    return address.protocol() == QAbstractSocket::IPv6Protocol
               ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
               : address.toString();
}

QUrl LocalCloudService::httpBase() const
{
    return QUrl(QStringLiteral("http://%1:%2/").arg(reachableHost(server.serverAddress())).arg(port()));
}

QString LocalCloudService::wsBase() const
{
    const QString base = QStringLiteral("ws://%1:%2/").arg(reachableHost(server.serverAddress())).arg(port());
    return accessToken.isEmpty() ? base : base + QString::fromLatin1(accessToken) + QLatin1Char('/');
}

int LocalCloudService::addDeviceModel(int code, const QString& name)
{
    return store->addDeviceModel(code, name);
}

int LocalCloudService::addDevice(const QJsonObject& record)
{
    return store->addDevice(record);
}

QJsonObject LocalCloudService::device(int id) const
{
    return store->device(id);
}

QJsonObject LocalCloudService::deviceByCode(const QString& code) const
{
    return store->deviceByCode(code);
}

int LocalCloudService::deviceCount() const
{
    return store->devices().size();
}

QList<QJsonObject> LocalCloudService::workRecords() const
{
    return store->workRecords({});
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

bool LocalCloudService::authorized(const Request& request) const
{
    return accessToken.isEmpty() || request.headers.value("authorization") == "Bearer " + accessToken;
}

void LocalCloudService::dispatch(QTcpSocket* socket, const Request& request, bool keepAlive)
{
    const bool isPage = request.verb == "GET" && !pageFile(request.resource).isEmpty();
    if (!isPage && !authorized(request)) {
        reply(socket, {401, detail(QStringLiteral("a valid bearer token is required"))}, keepAlive);
        return;
    }
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
    if (!pageFile(request.resource).isEmpty())
        return pageResource(request);
    return {404, detail(QStringLiteral("unknown resource"))};
}

// GET ?code=... looks a device up by its code, GET alone lists them all; PUT updates the
// entry named by "id".
LocalCloudService::Answer LocalCloudService::deviceResource(const Request& request)
{
    if (request.verb == "GET") {
        if (!request.query.hasQueryItem(QStringLiteral("code")))
            return deviceList();
        const QString code = request.query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded);
        if (code.isEmpty())
            return {400, detail(QStringLiteral("code required"))};
        const QJsonObject found = deviceByCode(code);
        if (found.isEmpty())
            return {404, detail(QStringLiteral("Not found."))};
        seen(code, true);
        return {200, found};
    }
    if (request.verb == "PUT") {
        QJsonObject body;
        QString problem = parseObject(request.body, body);
        if (problem.isEmpty())
            problem = checkFields(body, DeviceFields);
        if (!problem.isEmpty())
            return {400, detail(problem)};
        const int id = body.value(QStringLiteral("id")).toInt(-1);
        if (id < 0)
            return {400, detail(QStringLiteral("id required"))};
        QJsonObject stored = device(id);
        if (stored.isEmpty())
            return {404, detail(QStringLiteral("Not found."))};
        for (auto it = body.begin(); it != body.end(); ++it)
            stored.insert(it.key(), it.value());
        const QString code = stored.value(QStringLiteral("code")).toString();
        const QJsonObject holder = deviceByCode(code);
        if (!holder.isEmpty() && holder.value(QStringLiteral("id")).toInt() != id)
            return {400, detail(QStringLiteral("code belongs to another device"))};
        if (!store->updateDevice(id, stored))
            return {500, detail(store->lastError())};
        seen(code, true);
        return {200, stored};
    }
    return {405, detail(QStringLiteral("method not allowed"))};
}

// PATCH {"code": model number} finds a device model; POST creates a device entry.
LocalCloudService::Answer LocalCloudService::deviceModelResource(const Request& request)
{
    if (request.verb != "PATCH" && request.verb != "POST")
        return {405, detail(QStringLiteral("method not allowed"))};
    QJsonObject body;
    const QString problem = parseObject(request.body, body);
    if (!problem.isEmpty())
        return {400, detail(problem)};
    if (request.verb == "PATCH") {
        const QJsonValue code = body.value(QStringLiteral("code"));
        if (!code.isDouble())
            return {400, detail(QStringLiteral("code required"))};
        const QJsonObject model = store->deviceModelByCode(qint64(code.toDouble()));
        if (model.isEmpty())
            return {404, detail(QStringLiteral("Not found."))};
        return {200, model};
    }
    const QString wrong = checkFields(body, DeviceFields);
    if (!wrong.isEmpty())
        return {400, detail(wrong)};
    const QString code = body.value(QStringLiteral("code")).toString();
    if (code.isEmpty())
        return {400, detail(QStringLiteral("code required"))};
    if (!deviceByCode(code).isEmpty())
        return {400, detail(QStringLiteral("device exists"))};
    const int id = addDevice(body);
    if (id < 0)
        return {500, detail(store->lastError())};
    seen(code, true);
    return {200, device(id)};
}

LocalCloudService::Answer LocalCloudService::workRecordResource(const Request& request)
{
    if (request.verb == "GET")
        return workRecordList(request);
    if (request.verb != "POST")
        return {405, detail(QStringLiteral("method not allowed"))};
    QJsonObject record;
    QString problem = parseObject(request.body, record);
    if (problem.isEmpty())
        problem = checkFields(record, WorkRecordFields);
    if (!problem.isEmpty())
        return {400, detail(problem)};
    const QJsonObject owner = device(record.value(QStringLiteral("device")).toInt(-1));
    if (owner.isEmpty())
        return {400, detail(QStringLiteral("unknown device"))};
    record.remove(QStringLiteral("id"));
    const int id = store->addWorkRecord(record);
    if (id < 0)
        return {500, detail(store->lastError())};
    record.insert(QStringLiteral("id"), id);
    seen(owner.value(QStringLiteral("code")).toString(), true);
    return {200, record};
}

// ?device=ID or ?code=CODE, ?from= and ?to= (ISO 8601, UTC unless a zone is given; "to" is
// exclusive), ?format=csv for a spreadsheet instead of a JSON list.
LocalCloudService::Answer LocalCloudService::workRecordList(const Request& request)
{
    WorkRecordFilter filter;
    const QString deviceText = request.query.queryItemValue(QStringLiteral("device"), QUrl::FullyDecoded);
    const QString code = request.query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded);
    bool ok = true;
    if (!deviceText.isEmpty())
        filter.device = deviceText.toInt(&ok);
    if (!ok || filter.device < -1)
        return {400, detail(QStringLiteral("device must be a device id"))};
    if (!code.isEmpty()) {
        const QJsonObject found = deviceByCode(code);
        if (found.isEmpty())
            return {200, QJsonArray()};
        filter.device = found.value(QStringLiteral("id")).toInt();
    }
    for (const char* end : {"from", "to"}) {
        const QString text = request.query.queryItemValue(QLatin1String(end), QUrl::FullyDecoded);
        const QDateTime when = parseTime(text);
        if (!text.isEmpty() && !when.isValid())
            return {400, detail(QStringLiteral("%1 must be an ISO 8601 date or time").arg(QLatin1String(end)))};
        (qstrcmp(end, "from") == 0 ? filter.from : filter.to) = when;
    }
    const QList<QJsonObject> records = store->workRecords(filter);
    if (request.query.queryItemValue(QStringLiteral("format")) == QLatin1String("csv"))
        return {200, workRecordsCsv(records), "text/csv; charset=utf-8"};
    QJsonArray list;
    for (const QJsonObject& r : records)
        list.append(r);
    return {200, list};
}

// Every device with what the service knows of it now: "online" is whether its channel is
// open, "last_seen" its latest request or message, "task" its latest task state.
LocalCloudService::Answer LocalCloudService::deviceList()
{
    QJsonArray list;
    for (const QJsonObject& d : store->devices()) {
        const QString code = d.value(QStringLiteral("code")).toString();
        QJsonObject entry = d;
        const QJsonObject live = liveState(code);
        entry.insert(QStringLiteral("online"), live.value(QStringLiteral("online")));
        QDateTime when = store->lastSeen(d.value(QStringLiteral("id")).toInt());
        if (lastSeen.value(code) > when)
            when = lastSeen.value(code);
        entry.insert(QStringLiteral("last_seen"),
                     when.isValid() ? QJsonValue(when.toString(Qt::ISODateWithMs)) : QJsonValue());
        entry.insert(QStringLiteral("task"), live.value(QStringLiteral("task")));
        list.append(entry);
    }
    return {200, list};
}

LocalCloudService::Answer LocalCloudService::pageResource(const Request& request)
{
    if (request.verb != "GET")
        return {405, detail(QStringLiteral("method not allowed"))};
    const QString name = pageFile(request.resource);
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return {404, detail(QStringLiteral("unknown resource"))};
    const QByteArray type = name.endsWith(QLatin1String(".js"))    ? "text/javascript; charset=utf-8"
                            : name.endsWith(QLatin1String(".css")) ? "text/css; charset=utf-8"
                                                                   : "text/html; charset=utf-8";
    return {200, file.readAll(), type};
}

void LocalCloudService::reply(QTcpSocket* socket, const Answer& answer, bool keepAlive)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + reasonPhrase(answer.status) + "\r\n";
    head += "Content-Type: " + answer.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    head += "Cache-Control: no-store\r\n";
    if (answer.status == 401)
        head += "WWW-Authenticate: Bearer\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    socket->write(head + answer.body);
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

// --- Device channel and the page's live feed -------------------------------------------

void LocalCloudService::onWebSocket()
{
    while (QWebSocket* socket = wsServer.nextPendingConnection()) {
        socket->setParent(this);
        paths.append(socket->requestUrl().path());
        if (paths.last() == QLatin1String("/live")) {
            acceptPageFeed(socket);
            continue;
        }
        // The channel is "/<code>/Device/", behind "/<token>" when a token is set.
        QStringList parts = paths.last().split(QLatin1Char('/'));
        const bool tokenOk =
            accessToken.isEmpty()
            || (parts.size() == 5 && parts.at(1).toLatin1() == accessToken && (parts.removeAt(1), true));
        const bool valid = tokenOk && parts.size() == 4 && parts.at(0).isEmpty() && !parts.at(1).isEmpty()
                           && parts.at(2) == QLatin1String("Device") && parts.at(3).isEmpty();
        if (!valid) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("unknown channel"));
            socket->deleteLater();
            continue;
        }
        acceptDeviceChannel(socket, parts.at(1));
    }
}

void LocalCloudService::acceptDeviceChannel(QWebSocket* socket, const QString& code)
{
    if (QWebSocket* previous = channels.value(code))
        previous->deleteLater();
    channels.insert(code, socket);
    connect(socket, &QWebSocket::textMessageReceived, this,
            [this, code](const QString& text) { onDeviceText(code, text); });
    connect(socket, &QWebSocket::disconnected, this, [this, code] { seen(code, true); });
    connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
    emit deviceChannelOpened(code);
    seen(code, true);
}

void LocalCloudService::onDeviceText(const QString& code, const QString& text)
{
    texts[code].append(text);
    emit deviceTextReceived(code, text);
    const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
    const QJsonValue runtime = message.value(QStringLiteral("message")).toObject().value(QStringLiteral("Runtime"));
    if (runtime.isObject()) {
        QJsonObject task = runtime.toObject();
        task.remove(QStringLiteral("FilePreview")); // the page does not show it; it may be large
        runningTasks.insert(code, task);
    }
    seen(code, false); // task states can come many per second: memory only
}

// A page must send {"token": ...} first (browsers cannot add headers to a WebSocket); it then
// gets a snapshot of every device and each change as it happens.
void LocalCloudService::acceptPageFeed(QWebSocket* socket)
{
    connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
    auto admit = [this, socket] {
        pageFeeds.append(socket);
        QJsonArray devices;
        QStringList codes = channels.keys() + runningTasks.keys() + lastSeen.keys();
        codes.removeDuplicates();
        codes.sort();
        for (const QString& code : codes)
            devices.append(liveState(code));
        const QJsonObject snapshot{{QStringLiteral("type"), QStringLiteral("snapshot")},
                                   {QStringLiteral("devices"), devices}};
        socket->sendTextMessage(QString::fromUtf8(QJsonDocument(snapshot).toJson(QJsonDocument::Compact)));
    };
    auto first = std::make_shared<QMetaObject::Connection>();
    *first = connect(socket, &QWebSocket::textMessageReceived, this, [this, socket, admit, first](const QString& text) {
        disconnect(*first);
        const QByteArray given =
            QJsonDocument::fromJson(text.toUtf8()).object().value(QStringLiteral("token")).toString().toUtf8();
        if (!accessToken.isEmpty() && given != accessToken) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("a valid token is required"));
            return;
        }
        admit();
    });
    // A feed that never says who it is does not stay open.
    QTimer::singleShot(10000, socket, [this, socket] {
        if (!pageFeeds.contains(socket))
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("no token given"));
    });
}

QJsonObject LocalCloudService::liveState(const QString& code) const
{
    const QDateTime when = lastSeen.value(code);
    const QWebSocket* channel = channels.value(code);
    return QJsonObject{
        {QStringLiteral("type"), QStringLiteral("device")},
        {QStringLiteral("code"), code},
        {QStringLiteral("online"), channel && channel->state() == QAbstractSocket::ConnectedState},
        {QStringLiteral("last_seen"), when.isValid() ? QJsonValue(when.toString(Qt::ISODateWithMs)) : QJsonValue()},
        {QStringLiteral("task"), runningTasks.contains(code) ? QJsonValue(runningTasks.value(code)) : QJsonValue()},
    };
}

void LocalCloudService::seen(const QString& code, bool persist)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    lastSeen.insert(code, now);
    if (persist) {
        const int id = store->deviceByCode(code).value(QStringLiteral("id")).toInt(-1);
        if (id >= 0)
            store->touchDevice(id, now);
    }
    broadcast(liveState(code));
}

void LocalCloudService::broadcast(const QJsonObject& event)
{
    const QString text = QString::fromUtf8(QJsonDocument(event).toJson(QJsonDocument::Compact));
    pageFeeds.removeAll(nullptr);
    for (const QPointer<QWebSocket>& feed : qAsConst(pageFeeds))
        feed->sendTextMessage(text);
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
