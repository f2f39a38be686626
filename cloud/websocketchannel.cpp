// The cloud channel: a WebSocket on which the cloud asks for the task state.
#include "ktcommoninterface.h"
#include "ktdeviceproperty.h"
#include "ktlogging_p.h"
#include "nimbracloud.h"

#include <QDebug>
#include <QUrl>
#include <QWebSocket>

void KTCommonInterface::connect_websocket()
{
    if (!webSocket) {
        // Not a child: the device may be deleted from inside one of the socket's own signals,
        // so the socket follows it with deleteLater instead of dying in the middle of emitting.
        webSocket = new QWebSocket(QString(), QWebSocketProtocol::Version13, nullptr);
        connect(this, &QObject::destroyed, webSocket, &QObject::deleteLater);
    }
    KTDeviceProperty* record = property_ptr("DEVICE_CLOUD");
    if (!record || !cloud)
        return;
    const QString code = record->value().toJsonObject().value(QStringLiteral("code")).toString();
    const QString address = QStringLiteral("%1%2/Device/").arg(cloud->ws(), code);
    qCDebug(ktCloud) << "KTCommonInterface::connect_websocket" << address;

    // Unique connections: calling this again reopens the channel without doubling every
    // notification. Connected before opening, since an unusable address fails at once.
    connect(webSocket, &QWebSocket::connected, this, &KTCommonInterface::slot_websocket_connected,
            Qt::UniqueConnection);
    connect(webSocket, &QWebSocket::disconnected, this, &KTCommonInterface::slot_websocket_disconnected,
            Qt::UniqueConnection);
    connect(webSocket, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error), this,
            &KTCommonInterface::slot_websocket_error, Qt::UniqueConnection);
    connect(webSocket, &QWebSocket::textMessageReceived, this, &KTCommonInterface::slot_websocket_text_received,
            Qt::UniqueConnection);
    webSocket->open(QUrl(address, QUrl::TolerantMode));
}

void KTCommonInterface::slot_websocket_connected()
{
    emit message(DevStatus, QStringLiteral("WEB SOCKET CONNECTED."));
}

void KTCommonInterface::slot_websocket_disconnected()
{
    emit message(DevStatus, QStringLiteral("WEB SOCKET DISCONNECTED."));
}

void KTCommonInterface::slot_websocket_error(QAbstractSocket::SocketError error)
{
    qCDebug(ktCloud) << "KTCommonInterface::slot_websocket_error" << error;
    emit message(DevStatus, QStringLiteral("WEB SOCKET ERROR."));
}

// Any new text asks for the task state; an exact repeat of the last one is ignored.
void KTCommonInterface::slot_websocket_text_received(QString text)
{
    if (text == lastSocketText)
        return;
    lastSocketText = text;
    device_task_to_cloud();
}
