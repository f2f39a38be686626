#include "devicechannels.h"

#include "kttaskrecord_p.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>
#include <memory>

namespace {

QString compact(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// The fields of a task report the page shows, with counts that cannot be negative; whatever
// else a device sends (a preview image, unknown keys) stays out of memory and off the page.
QJsonObject taskState(const QJsonObject& report)
{
    QJsonObject task;
    for (const QString& key : {KTTaskRecord::statusKey(), KTTaskRecord::copiesKey(), KTTaskRecord::finishedKey(),
                               KTTaskRecord::percentKey()}) {
        const QJsonValue value = report.value(key);
        if (value.isDouble())
            task.insert(key, qMax(0, value.toInt()));
    }
    const QJsonValue name = report.value(KTTaskRecord::fileNameKey());
    if (name.isString())
        task.insert(KTTaskRecord::fileNameKey(), name.toString().left(256));
    return task;
}

} // namespace

DeviceChannels::DeviceChannels(QObject* parent)
    : QObject(parent), server(QStringLiteral("ktrv8-cloud"), QWebSocketServer::NonSecureMode)
{
    server.setHandshakeTimeout(10000);
    connect(&server, &QWebSocketServer::newConnection, this, &DeviceChannels::onConnection);
}

DeviceChannels::~DeviceChannels()
{
    // The channels' disconnection handlers write to the store, which may be gone by now.
    QList<QPointer<QWebSocket>> all = pageFeeds + waitingFeeds;
    for (const QPointer<QWebSocket>& channel : qAsConst(channels))
        all.append(channel);
    for (const QPointer<QWebSocket>& socket : qAsConst(all)) {
        if (socket) {
            disconnect(socket, nullptr, this, nullptr);
            socket->abort();
        }
    }
}

void DeviceChannels::take(QTcpSocket* socket)
{
    if (openSockets() >= MaxSockets) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    server.handleConnection(socket);
}

int DeviceChannels::openSockets() const
{
    int open = 0;
    for (const QPointer<QWebSocket>& channel : channels)
        open += channel ? 1 : 0;
    return open + pageFeeds.size() + waitingFeeds.size();
}

void DeviceChannels::onConnection()
{
    while (QWebSocket* socket = server.nextPendingConnection()) {
        socket->setParent(this);
        socket->setMaxAllowedIncomingMessageSize(MaxMessageBytes);
        socket->setMaxAllowedIncomingFrameSize(MaxMessageBytes);
        const QString path = socket->requestUrl().path();
        if (recording)
            paths.append(path);
        if (path == QLatin1String("/live")) {
            acceptPageFeed(socket);
            continue;
        }
        // The channel is "/<code>/Device/", behind "/<token>" when a token is set; a cutter's
        // own token opens its own channel only.
        QStringList parts = path.split(QLatin1Char('/'));
        const auto tokenFits = [&] {
            const QByteArray given = parts.at(1).toLatin1();
            return given == accessToken || (deviceOf && !given.isEmpty() && deviceOf(given) == parts.at(2));
        };
        const bool tokenOk = accessToken.isEmpty() || (parts.size() == 5 && tokenFits() && (parts.removeAt(1), true));
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

void DeviceChannels::acceptDeviceChannel(QWebSocket* socket, const QString& code)
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

void DeviceChannels::onDeviceText(const QString& code, const QString& text)
{
    if (recording)
        texts[code].append(text);
    emit deviceTextReceived(code, text);
    const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
    const QJsonValue runtime = message.value(QStringLiteral("message")).toObject().value(QStringLiteral("Runtime"));
    if (runtime.isObject())
        runningTasks.insert(code, taskState(runtime.toObject()));
    seen(code, false); // task states can come many per second: memory only
}

// A page must send {"token": ...} first (browsers cannot add headers to a WebSocket); it then
// gets a snapshot of every device and each change as it happens.
void DeviceChannels::acceptPageFeed(QWebSocket* socket)
{
    waitingFeeds.append(socket);
    connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
    // By the time destroyed() is emitted the socket's guards already read null, and a new guard
    // on the dying socket would touch its freed reference count: drop the null entries instead.
    connect(socket, &QObject::destroyed, this, [this] { waitingFeeds.removeAll(nullptr); });
    auto first = std::make_shared<QMetaObject::Connection>();
    *first = connect(socket, &QWebSocket::textMessageReceived, this, [this, socket, first](const QString& text) {
        disconnect(*first);
        waitingFeeds.removeAll(socket);
        const QByteArray given =
            QJsonDocument::fromJson(text.toUtf8()).object().value(QStringLiteral("token")).toString().toUtf8();
        if (!accessToken.isEmpty() && given != accessToken) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("a valid token is required"));
            return;
        }
        admitPageFeed(socket);
    });
    // A feed that never says who it is does not stay open.
    QTimer::singleShot(10000, socket, [this, socket] {
        if (!pageFeeds.contains(socket))
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("no token given"));
    });
}

void DeviceChannels::admitPageFeed(QWebSocket* socket)
{
    pageFeeds.append(socket);
    QJsonArray devices;
    QStringList codes = channels.keys() + runningTasks.keys() + seenAt.keys();
    codes.removeDuplicates();
    codes.sort();
    for (const QString& code : codes)
        devices.append(liveState(code));
    send(socket, compact({{QStringLiteral("type"), QStringLiteral("snapshot")}, {QStringLiteral("devices"), devices}}));
}

QJsonObject DeviceChannels::liveState(const QString& code) const
{
    const QDateTime when = seenAt.value(code);
    const QWebSocket* channel = channels.value(code);
    return QJsonObject{
        {QStringLiteral("type"), QStringLiteral("device")},
        {QStringLiteral("code"), code},
        {QStringLiteral("online"), channel && channel->state() == QAbstractSocket::ConnectedState},
        {QStringLiteral("last_seen"), when.isValid() ? QJsonValue(when.toString(Qt::ISODateWithMs)) : QJsonValue()},
        {QStringLiteral("task"), runningTasks.contains(code) ? QJsonValue(runningTasks.value(code)) : QJsonValue()},
    };
}

LiveView DeviceChannels::snapshot() const
{
    LiveView view;
    view.seen = seenAt;
    QStringList codes = channels.keys() + runningTasks.keys() + seenAt.keys();
    codes.removeDuplicates();
    for (const QString& code : qAsConst(codes))
        view.states.insert(code, liveState(code));
    return view;
}

void DeviceChannels::seen(const QString& code, bool persist)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    seenAt.insert(code, now);
    if (persist && persistSeen)
        persistSeen(code, now);
    broadcast(liveState(code));
}

void DeviceChannels::broadcast(const QJsonObject& event)
{
    const QString text = compact(event);
    pageFeeds.removeAll(nullptr);
    const QList<QPointer<QWebSocket>> feeds = pageFeeds;
    for (const QPointer<QWebSocket>& feed : feeds)
        send(feed, text);
}

// Sends unless the peer has let too much pile up unread; such a peer is closed instead.
bool DeviceChannels::send(QWebSocket* socket, const QString& text)
{
    if (socket->bytesToWrite() + text.size() > MaxQueuedBytes) {
        pageFeeds.removeAll(socket);
        socket->abort();
        return false;
    }
    return socket->sendTextMessage(text) == text.toUtf8().size();
}

int DeviceChannels::liveFeeds() const
{
    return int(std::count_if(pageFeeds.begin(), pageFeeds.end(), [](const QPointer<QWebSocket>& feed) {
        return feed && feed->state() == QAbstractSocket::ConnectedState;
    }));
}

QStringList DeviceChannels::connectedDevices() const
{
    QStringList codes;
    for (auto it = channels.begin(); it != channels.end(); ++it) {
        if (it.value() && it.value()->state() == QAbstractSocket::ConnectedState)
            codes.append(it.key());
    }
    codes.sort();
    return codes;
}

bool DeviceChannels::sendToDevice(const QString& code, const QString& text)
{
    QWebSocket* socket = channels.value(code);
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return false;
    return send(socket, text);
}

void DeviceChannels::closeDevice(const QString& code)
{
    if (QWebSocket* socket = channels.value(code))
        socket->close();
}
