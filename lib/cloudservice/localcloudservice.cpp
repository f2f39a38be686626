#include "localcloudservice.h"

#include "cloudstore.h"

#include <QTimer>

LocalCloudService::LocalCloudService(QObject* parent) : QObject(parent)
{
    http.setHeadCheck([this](const Request& request) { return checkHead(request); });
    http.setHandler([this](quint64 connection, const Request& request) { onRequest(connection, request); });
    connect(&http, &HttpServer::upgradeRequested, &channels, &DeviceChannels::take);
    connect(&channels, &DeviceChannels::deviceChannelOpened, this, &LocalCloudService::deviceChannelOpened);
    connect(&channels, &DeviceChannels::deviceTextReceived, this, &LocalCloudService::deviceTextReceived);
    channels.setPersistSeen([this](const QString& code, const QDateTime& when) {
        store.post([code, when](CloudStore& s) {
            const int id = s.deviceByCode(code).value(QStringLiteral("id")).toInt(-1);
            if (id >= 0)
                s.touchDevice(id, when);
        });
    });
}

LocalCloudService::~LocalCloudService() = default;

bool LocalCloudService::useDatabase(const QString& location, QString* error, bool createFolder)
{
    return store.open(location, error, createFolder);
}

void LocalCloudService::setToken(const QByteArray& token)
{
    accessToken = token;
    channels.setToken(token);
}

void LocalCloudService::setDeviceTokens(const QString& file)
{
    deviceTokens = DeviceTokens(file);
    channels.setDeviceCheck([this](const QByteArray& token) { return deviceOf(token); });
}

void LocalCloudService::setRecording(bool on)
{
    recording = on;
    channels.setRecording(on);
    if (!on)
        received.clear();
}

bool LocalCloudService::listen(quint16 port)
{
    return listen(QHostAddress::LocalHost, port);
}

bool LocalCloudService::listen(const QHostAddress& address, quint16 port)
{
    return http.listen(address, port);
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
    return QUrl(QStringLiteral("http://%1:%2/").arg(reachableHost(http.serverAddress())).arg(port()));
}

QString LocalCloudService::wsBase() const
{
    const QString base = QStringLiteral("ws://%1:%2/").arg(reachableHost(http.serverAddress())).arg(port());
    return accessToken.isEmpty() ? base : base + QString::fromLatin1(accessToken) + QLatin1Char('/');
}

int LocalCloudService::addDeviceModel(int code, const QString& name)
{
    int result{};
    store.run([&](CloudStore& s) { result = s.addDeviceModel(code, name); });
    return result;
}

int LocalCloudService::addDevice(const QJsonObject& record)
{
    int result{};
    store.run([&](CloudStore& s) { result = s.addDevice(record); });
    return result;
}

QJsonObject LocalCloudService::device(int id) const
{
    QJsonObject result{};
    store.run([&](CloudStore& s) { result = s.device(id); });
    return result;
}

QJsonObject LocalCloudService::deviceByCode(const QString& code) const
{
    QJsonObject result{};
    store.run([&](CloudStore& s) { result = s.deviceByCode(code); });
    return result;
}

int LocalCloudService::deviceCount() const
{
    int result{};
    store.run([&](CloudStore& s) { result = s.devices().size(); });
    return result;
}

QList<QJsonObject> LocalCloudService::workRecords() const
{
    QList<QJsonObject> result{};
    store.run([&](CloudStore& s) { result = s.workRecords({}); });
    return result;
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

// The token of "Authorization: Bearer TOKEN"; the scheme is case-insensitive.
static QByteArray bearerOf(const HttpRequest& request)
{
    const QByteArray given = request.headers.value("authorization").trimmed();
    const int space = given.indexOf(' ');
    if (space < 0 || given.left(space).toLower() != "bearer")
        return {};
    return given.mid(space + 1).trimmed();
}

// The service's token, compared in full whatever its prefix, or a cutter's own.
bool LocalCloudService::authorized(const Request& request) const
{
    if (accessToken.isEmpty())
        return true;
    const QByteArray token = bearerOf(request);
    if (token.isEmpty())
        return false;
    if (deviceTokens.isSet() && !deviceOf(token).isEmpty())
        return true;
    int differ = token.size() ^ accessToken.size();
    for (int i = 0; i < accessToken.size(); ++i)
        differ |= accessToken.at(i) ^ (i < token.size() ? token.at(i) : 0);
    return differ == 0;
}

// A request without the token is refused on its head: its body is never read nor kept.
std::optional<HttpAnswer> LocalCloudService::checkHead(const Request& request) const
{
    if (RestResources::isPage(request) || authorized(request))
        return std::nullopt;
    HttpAnswer refusal{401, RestResources::detail(QStringLiteral("a valid bearer token is required"))};
    refusal.with("WWW-Authenticate", "Bearer");
    return refusal;
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

void LocalCloudService::onRequest(quint64 connection, const Request& given)
{
    Request request = given;
    if (deviceTokens.isSet() && bearerOf(request) != accessToken)
        request.actingAs = deviceOf(bearerOf(request));
    if (recording) {
        received.append(request);
        emit requestReceived(received.size() - 1);
    }
    Fault fault;
    if (!takeFault(request.resource, fault)) {
        answer(request, [this, connection, request](const HttpAnswer& result) { finish(connection, request, result); });
        return;
    }
    if (fault.silent) {
        if (fault.served)
            answer(request, [](const HttpAnswer&) {});
        http.hold(connection); // this connection never answers again
        return;
    }
    const Request head{request.verb, request.path, request.resource, request.query, {}, {}, request.actingAs};
    auto later = [this, connection, head, delay = fault.delayMs](const HttpAnswer& result) {
        if (delay <= 0)
            finish(connection, head, result);
        else
            QTimer::singleShot(delay, this, [this, connection, head, result] { finish(connection, head, result); });
    };
    // An injected status answers without touching the records, as a failing service would.
    if (fault.status)
        later(HttpAnswer{fault.status, RestResources::detail(QStringLiteral("injected"))});
    else
        answer(request, later);
}

void LocalCloudService::finish(quint64 connection, const Request& request, const HttpAnswer& answer)
{
    emit requestAnswered(request.verb, request.path, answer.status);
    http.reply(connection, answer);
}

// The page is answered here; everything else on the store's thread in the next batch, and
// back here once the batch is committed, to tell the live feed and reply: nothing is
// acknowledged before it is on disk.
void LocalCloudService::answer(const Request& request, std::function<void(const HttpAnswer&)> done)
{
    if (RestResources::isPage(request)) {
        done(RestResources::page(request));
        return;
    }
    const LiveView live = RestResources::wantsLive(request) ? channels.snapshot() : LiveView();
    store.submit([this, request, live, done = std::move(done)](CloudStore& s) -> StoreThread::Settle {
        QStringList seen;
        const int heldBefore = s.heldRecords();
        const HttpAnswer result = answerFrom(s, request, live, seen);
        // A record held for the batch's one write is known with its id after the commit.
        const int held = s.heldRecords() > heldBefore ? heldBefore : -1;
        return [this, &s, seen, result, held, done](bool committed) {
            HttpAnswer told = committed ? result : unavailable(s);
            if (committed && held >= 0)
                told.body = QJsonDocument(s.heldRecord(held)).toJson(QJsonDocument::Compact);
            QMetaObject::invokeMethod(
                this,
                [this, seen = committed ? seen : QStringList(), told, done] {
                    for (const QString& code : seen)
                        channels.seen(code, false); // kept in the store already
                    done(told);
                },
                Qt::QueuedConnection);
        };
    });
}

HttpAnswer LocalCloudService::unavailable(const CloudStore& store)
{
    return HttpAnswer{503, RestResources::detail(QStringLiteral("database unavailable: ") + store.lastError())}.with(
        "Retry-After", QByteArray::number(RetryAfterSeconds));
}

// An answer built while the database failed would be built on missing data ("unknown
// device", an empty list): the client is told to come back instead.
HttpAnswer LocalCloudService::answerFrom(CloudStore& store, const Request& request, const LiveView& live,
                                         QStringList& seen)
{
    if (store.ready()) {
        RestResources resources(store, live);
        const HttpAnswer result = resources.answer(request);
        if (!store.troubled()) {
            seen = resources.seenDevices();
            return result;
        }
    }
    return unavailable(store);
}
