#include "cloudstore.h"

#include "recordrules.h"

namespace {

bool inRange(const QJsonObject& record, const WorkRecordFilter& filter)
{
    if (filter.device >= 0 && record.value(QStringLiteral("device")).toInt(-1) != filter.device)
        return false;
    const QDateTime ended = CloudStore::endTimeOf(record);
    return (!filter.from.isValid() || ended >= filter.from) && (!filter.to.isValid() || ended < filter.to);
}

} // namespace

QDateTime CloudStore::endTimeOf(const QJsonObject& record)
{
    // Devices write a fraction whose digits vary; the seconds suffice.
    const QDateTime ended = RecordRules::endTime(record);
    if (!ended.isValid())
        return QDateTime::currentDateTimeUtc();
    return QDateTime::fromSecsSinceEpoch(ended.toSecsSinceEpoch(), Qt::UTC);
}

int MemoryStore::addDeviceModel(int code, const QString& name)
{
    const int id = nextId++;
    models.insert(
        id, QJsonObject{{QStringLiteral("id"), id}, {QStringLiteral("code"), code}, {QStringLiteral("name"), name}});
    return id;
}

QJsonObject MemoryStore::deviceModelByCode(qint64 code) const
{
    for (const QJsonObject& m : models) {
        if (m.value(QStringLiteral("code")).toVariant().toLongLong() == code)
            return m;
    }
    return {};
}

int MemoryStore::addDevice(const QJsonObject& record)
{
    QJsonObject stored = record;
    const int id = nextId++;
    stored.insert(QStringLiteral("id"), id);
    deviceTable.insert(id, stored);
    return id;
}

bool MemoryStore::updateDevice(int id, const QJsonObject& record)
{
    if (!deviceTable.contains(id))
        return false;
    QJsonObject stored = record;
    stored.insert(QStringLiteral("id"), id);
    deviceTable.insert(id, stored);
    return true;
}

QJsonObject MemoryStore::deviceByCode(const QString& code) const
{
    for (const QJsonObject& d : deviceTable) {
        if (d.value(QStringLiteral("code")).toString() == code)
            return d;
    }
    return {};
}

int MemoryStore::addWorkRecord(const QJsonObject& record, QJsonObject& stored)
{
    const QString code =
        device(record.value(QStringLiteral("device")).toInt()).value(QStringLiteral("code")).toString();
    const QString key = RecordRules::recordKey(record, code);
    const auto known = recordIndex.constFind(key);
    if (!key.isEmpty() && known != recordIndex.constEnd()) {
        stored = records.at(known.value());
        return stored.value(QStringLiteral("id")).toInt();
    }
    stored = record;
    const int id = nextId++;
    stored.insert(QStringLiteral("id"), id);
    if (!key.isEmpty())
        recordIndex.insert(key, records.size());
    records.append(stored);
    return id;
}

QList<QJsonObject> MemoryStore::workRecords(const WorkRecordFilter& filter) const
{
    QList<QJsonObject> out;
    for (const QJsonObject& r : records) {
        if (inRange(r, filter))
            out.append(r);
    }
    return out;
}
