// Registration of the device with the cloud and the work record posted when a task ends.
#include "ktcommoninterface.h"
#include "ktcommoninterface_p.h"
#include "ktdeviceproperty.h"
#include "ktlogging_p.h"
#include "ktsurvives_p.h"
#include "kttaskrecord_p.h"
#include "nimbracloud.h"

#include <QDateTime>
#include <QDebug>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

#include <cmath>
#include <limits>

namespace {

int httpStatusOf(QNetworkReply* reply)
{
    return reply ? reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() : 0;
}

// An unreadable body reads as an empty object, so its "id" reads as 0.
QJsonObject objectOf(const QByteArray& body)
{
    return QJsonDocument::fromJson(body).object();
}

QString textOf(KTDeviceProperty* p)
{
    return p ? p->value().toString() : QString();
}

// Host-filled job data may hold numbers as JSON numbers (possibly fractional) or as text.
qint64 wholeNumber(const QJsonValue& v)
{
    double d = 0;
    if (v.isDouble())
        d = v.toDouble();
    else if (v.isString())
        d = v.toString().trimmed().toDouble();
    if (!std::isfinite(d) || std::fabs(d) > 9.0e15)
        return 0;
    return static_cast<qint64>(d);
}

// A product beyond 64 bits is no real page: such a size counts as 0, as an absurd side does.
qint64 pageArea(qint64 height, qint64 width)
{
    if (height == 0 || width == 0)
        return 0;
    const quint64 limit = quint64(std::numeric_limits<qint64>::max());
    if (quint64(qAbs(height)) > limit / quint64(qAbs(width)))
        return 0;
    return height * width;
}

QJsonObject jsonOf(KTDeviceProperty* p)
{
    return p ? p->value().toJsonObject() : QJsonObject();
}

const QString CodeKey = QStringLiteral("code");
const QString IdKey = QStringLiteral("id");

using ReplyHandler = void (*)(KTCommonInterface* device, int httpStatus, const QByteArray& body, bool ok);

// A reply reaches its handler only while the device still exists and still registers the
// same code: the host may delete the device while a request is in flight, and an answer to
// an earlier registration must not mark a newer one.
std::function<void(QNetworkReply*, bool)> guardedReply(KTCommonInterface* device, ReplyHandler handler)
{
    const QString code = KTCommonInterfacePrivate::cloudRecord(*device).value(CodeKey).toString();
    return [guard = QPointer<KTCommonInterface>(device), code, handler](QNetworkReply* reply, bool ok) {
        if (!guard || KTCommonInterfacePrivate::cloudRecord(*guard).value(CodeKey).toString() != code)
            return;
        handler(guard.data(), httpStatusOf(reply), reply && reply->isOpen() ? reply->readAll() : QByteArray(), ok);
    };
}

} // namespace

void KTCommonInterface::setNimbraCloud(NimbraCloud* client, QString code)
{
    cloud = client;
    if (cloudRetryTimer)
        cloudRetryTimer->stop(); // a new registration starts over
    cloudDevice = QJsonObject{{CodeKey, code},
                              {QStringLiteral("pcb"), textOf(property_ptr("PCB_ID"))},
                              {QStringLiteral("version"), textOf(property_ptr("FIRMWARE"))},
                              {QStringLiteral("device_id"), textOf(property_ptr("DEVICE_ID"))},
                              {QStringLiteral("online"), true}};
    if (!property_ptr("DEVICE_CLOUD") || !setCloudDevice(cloudDevice))
        return;

    const QJsonObject modelQuery{{CodeKey, KTCommonInterfacePrivate::modelNumber(code)}};
    // A client that answers at once runs a handler here, whose DEVICE_CLOUD change the host
    // may answer by deleting this device.
    if (!kt_survives(this, [&] { cloud_device_model_get(modelQuery); }))
        return;
    qCDebug(ktCloud) << "KTCommonInterface::setNimbraCloud" << modelQuery;
    const QJsonObject deviceQuery{{CodeKey, code}};
    qCDebug(ktCloud) << "KTCommonInterface::setNimbraCloud" << deviceQuery;
    cloud_device_get(deviceQuery);
}

// Base 36 of the four characters from position 2, least significant last.
int KTCommonInterfacePrivate::modelNumber(const QString& code)
{
    const QString digits = code.mid(2, 4).toLower();
    qint64 sum = 0;
    for (const QChar c : digits) {
        const int u = c.unicode();
        sum = sum * 36 + (u < 'a' ? u - '0' : u - 'a' + 10);
    }
    return static_cast<int>(static_cast<quint32>(sum));
}

void KTCommonInterface::cloud_device_get(QJsonObject query)
{
    qCDebug(ktCloud) << "KTCommonInterface::cloud_device_get" << query;
    if (cloud)
        cloud->customRequest(QStringLiteral("device"), "GET", query,
                             guardedReply(this, [](auto d, int status, const QByteArray& body, bool) {
                                 d->handle_device_lookup_reply(status, body);
                             }));
}

void KTCommonInterface::cloud_device_model_get(QJsonObject query)
{
    if (cloud)
        cloud->customRequest(QStringLiteral("device_model"), "PATCH", query,
                             guardedReply(this, [](auto d, int status, const QByteArray& body, bool) {
                                 d->handle_device_model_reply(status, body);
                             }));
}

void KTCommonInterface::cloud_device_new(QJsonObject record)
{
    if (cloud)
        cloud->customRequest(QStringLiteral("device_model"), "POST", record,
                             guardedReply(this, [](auto d, int status, const QByteArray& body, bool ok) {
                                 d->handle_device_new_reply(status, body, ok);
                             }));
}

void KTCommonInterface::cloud_device_update(QJsonObject record)
{
    if (cloud)
        cloud->customRequest(QStringLiteral("device"), "PUT", record, {});
}

void KTCommonInterface::cloud_device_workrecord(QJsonObject body)
{
    if (cloud)
        cloud->customRequest(QStringLiteral("device_work_records"), "POST", body, {});
}

void KTCommonInterface::handle_device_model_reply(int httpStatus, const QByteArray& body)
{
    if (httpStatus != 200)
        return;
    QJsonObject record = cloudDevice;
    record.insert(QStringLiteral("device_model"), objectOf(body).value(IdKey).toInt(0));
    setCloudDevice(record);
}

void KTCommonInterface::handle_device_lookup_reply(int httpStatus, const QByteArray& body)
{
    if (httpStatus == 200) {
        QJsonObject record = cloudDevice;
        record.insert(IdKey, objectOf(body).value(IdKey).toInt(0));
        if (setCloudDevice(record))
            cloud_device_update(cloudDevice);
    } else if (httpStatus == 404) {
        cloud_device_new(cloudDevice);
    } else if (httpStatus == 0) {
        scheduleDeviceLookupRetry();
    }
}

void KTCommonInterface::handle_device_new_reply(int httpStatus, const QByteArray& body, bool ok)
{
    if (!ok || httpStatus != 200)
        return;
    QJsonObject record = cloudDevice;
    record.insert(IdKey, objectOf(body).value(IdKey).toInt(0));
    setCloudDevice(record);
}

// The wait runs on a timer owned by the device rather than in a nested event loop: nothing
// re-enters the device meanwhile, and a device deleted during the wait takes the timer along.
void KTCommonInterface::scheduleDeviceLookupRetry()
{
    if (!cloudRetryTimer) {
        cloudRetryTimer = new QTimer(this);
        cloudRetryTimer->setSingleShot(true);
        connect(cloudRetryTimer, &QTimer::timeout, this, [this] {
            cloud_device_get(QJsonObject{{CodeKey, cloudDevice.value(CodeKey).toString()}});
        });
    }
    cloudRetryTimer->start(qMax(0, cloudRetryMs));
}

// False when the host deleted the device from DEVICE_CLOUD's valueChanged.
bool KTCommonInterface::setCloudDevice(const QJsonObject& record)
{
    cloudDevice = record;
    return setValueOf(property_ptr("DEVICE_CLOUD"), QVariant(cloudDevice));
}

void KTCommonInterface::device_task_record_to_cloud()
{
    if (!property_ptr("DEVICE_CLOUD"))
        return;
    if (cloudDevice.value(IdKey).toInt(-1) == -1)
        return;
    KTDeviceProperty* taskProperty = property_ptr("TASK");
    if (!taskProperty)
        return;
    const QJsonObject task = jsonOf(taskProperty);
    if (KTTaskRecord::copies(task) == 0 || KTTaskRecord::finished(task) == 0)
        return;
    KTDeviceProperty* fileProperty = property_ptr("TASK_FILE_INFO");
    if (!fileProperty)
        return;
    const QJsonObject file = jsonOf(fileProperty);
    const qint64 pathLength = wholeNumber(file.value(QStringLiteral("path_length")));
    if (pathLength == 0)
        return;
    KTDeviceProperty* start = property_ptr("TASK_START_TIME");
    if (!start)
        return;

    const qint64 height = wholeNumber(file.value(QStringLiteral("heigth")));
    const qint64 width = wholeNumber(file.value(QStringLiteral("width")));
    KTDeviceProperty* taskMode = property_ptr("TASK_MODE");
    KTDeviceProperty* workMode = property_ptr("WORK_MODE");
    QJsonObject body;
    body.insert(QStringLiteral("end_time"),
                QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzzz")));
    body.insert(QStringLiteral("task_time"), start->value().toDateTime().secsTo(QDateTime::currentDateTime()));
    body.insert(QStringLiteral("softwareType"), 3);
    body.insert(QStringLiteral("task_copies"), task.value(KTTaskRecord::copiesKey()));
    body.insert(QStringLiteral("finish_copies"), task.value(KTTaskRecord::finishedKey()));
    body.insert(QStringLiteral("device"), cloudDevice.value(IdKey));
    body.insert(QStringLiteral("page_area"), pageArea(height, width));
    body.insert(QStringLiteral("page_size"), QStringLiteral("%1x%2").arg(height).arg(width));
    body.insert(QStringLiteral("path_length"), pathLength);
    body.insert(QStringLiteral("task_model"), taskMode ? taskMode->value().toInt() : 0);
    body.insert(QStringLiteral("work_model"), workMode ? workMode->value().toInt() : 0);
    cloud_device_workrecord(body);
}

// Device information is not sent separately: the registration record carries it.
void KTCommonInterface::device_info_to_cloud() {}
