#include "ktcommoninterface.h"
#include "ktdeviceproperty.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebSocket>

namespace {

const QString Runtime = QStringLiteral("Runtime");

// An empty preview is sent as null rather than as an empty text.
QJsonValue previewField(const QVariant& preview)
{
    const QByteArray encoded = preview.toByteArray().toBase64();
    return encoded.isEmpty() ? QJsonValue() : QJsonValue(QString::fromLatin1(encoded));
}

} // namespace

// Sends the task record as a "Runtime" message once the cloud channel exists; the preview
// goes into the message only, the record itself is left as it is.
void KTCommonInterface::device_task_to_cloud()
{
    KTDeviceProperty* task = property_ptr("TASK");
    if (!task || !webSocket)
        return;
    QJsonObject state = task->value().toJsonObject();
    if (KTDeviceProperty* preview = property_ptr("FILE_PREVIEW"))
        state.insert(QStringLiteral("FilePreview"), previewField(preview->value()));
    const QJsonObject body{
        {QStringLiteral("sender"), QStringLiteral("Device")},
        {QStringLiteral("message"), QJsonObject{{Runtime, state}}},
        {QStringLiteral("actions"), QJsonArray{Runtime}},
    };
    webSocket->sendTextMessage(QString::fromUtf8(QJsonDocument(body).toJson(QJsonDocument::Compact)));
}
