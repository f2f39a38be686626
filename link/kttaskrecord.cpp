#include "ktdeviceinterface.h"
#include "ktdeviceproperty.h"
#include "ktdeviceproperty_p.h"
#include "kttaskrecord_p.h"

#include <QDateTime>

namespace KTTaskRecord {

QString statusKey()
{
    return QStringLiteral("Status");
}
QString fileNameKey()
{
    return QStringLiteral("FileName");
}
QString copiesKey()
{
    return QStringLiteral("TaskCopies");
}
QString finishedKey()
{
    return QStringLiteral("Finished");
}
QString percentKey()
{
    return QStringLiteral("Percent");
}

int copies(const QJsonObject& record)
{
    return record.value(copiesKey()).toInt();
}

int finished(const QJsonObject& record)
{
    return record.value(finishedKey()).toInt();
}

QString statusName(const QJsonObject& record)
{
    switch (record.value(statusKey()).toInt()) {
    case Idle:
        return copies(record) > 0 && finished(record) >= copies(record) ? QStringLiteral("done")
                                                                        : QStringLiteral("idle");
    case Cutting: return QStringLiteral("cutting");
    case Paused: return QStringLiteral("paused");
    case Stopped: return QStringLiteral("stopped");
    }
    return QStringLiteral("status %1").arg(record.value(statusKey()).toInt());
}

QJsonObject idle()
{
    return {{finishedKey(), 0}, {statusKey(), 0}, {copiesKey(), 0}, {percentKey(), 100}};
}

void setReport(QJsonObject* record, int status, const QString& fileName, int copies, int finished, int percent)
{
    record->insert(statusKey(), status);
    record->insert(fileNameKey(), fileName);
    record->insert(copiesKey(), copies);
    record->insert(finishedKey(), finished);
    record->insert(percentKey(), percent);
}

bool countCopy(QJsonObject* record, bool moreAllowed)
{
    const int done = finished(*record);
    const int ordered = copies(*record);
    if (done >= ordered) {
        record->insert(statusKey(), 0);
        record->insert(percentKey(), 100);
        return false;
    }
    const bool last = done + 1 == ordered;
    record->insert(finishedKey(), done + 1);
    if (last)
        record->insert(percentKey(), 100);
    if (last || !moreAllowed)
        record->insert(statusKey(), 0);
    return moreAllowed && !last;
}

void reset(QJsonObject* record)
{
    setReport(record, 0, QString(), 0, 0, 100);
}

} // namespace KTTaskRecord

KTDeviceProperty* kt_task_start_time(KTDeviceInterface* device)
{
    if (KTDeviceProperty* started = device->property_ptr("TASK_START_TIME"))
        return started;
    return kt_store_bare_property(device, "TASK_START_TIME", QDateTime::currentDateTime());
}
