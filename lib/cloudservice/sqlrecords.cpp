// SqlStore's work records, the batches that write them together, and the devices it keeps
// in memory between requests.
#include "recordrules.h"
#include "sqlstore.h"

#include <QDebug>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>

#include <limits>

namespace {

QJsonObject withId(const QVariant& id, const QVariant& text)
{
    QJsonObject record = QJsonDocument::fromJson(text.toString().toUtf8()).object();
    record.insert(QStringLiteral("id"), id.toInt());
    return record;
}

} // namespace

// What remember() kept may hold what a batch that failed wrote: it is read again.
void SqlStore::forget() const
{
    deviceCache.clear();
    deviceIds.clear();
}

QJsonObject SqlStore::remember(const QJsonObject& device) const
{
    const int id = device.value(QStringLiteral("id")).toInt();
    if (id > 0) {
        deviceCache.insert(id, device);
        deviceIds.insert(device.value(QStringLiteral("code")).toString(), id);
    }
    return device;
}

// The JSON records of a table (device or work_record) that meet the condition, by id.
QList<QJsonObject> SqlStore::recordsWhere(const char* table, const QString& condition, const QVariantList& values) const
{
    QSqlQuery query =
        statement(QStringLiteral("SELECT id, record FROM %1 %2 ORDER BY id").arg(QLatin1String(table), condition));
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values.at(i));
    QList<QJsonObject> out;
    if (!run(query))
        return out;
    while (query.next())
        out.append(withId(query.value(0), query.value(1)));
    query.finish();
    return out;
}

// "last_seen" is written at most once a minute per device: it costs a disk sync, and the
// service keeps the exact time in memory for as long as it runs.
void SqlStore::touchDevice(int id, const QDateTime& when)
{
    const qint64 at = when.toMSecsSinceEpoch();
    auto written = lastWritten.find(id);
    if (written != lastWritten.end() && at >= written.value() && at - written.value() < TouchIntervalMs)
        return;
    lastWritten.insert(id, at);
    QSqlQuery query(db);
    query.prepare(QStringLiteral("UPDATE device SET last_seen = ? WHERE id = ?"));
    query.addBindValue(when.toMSecsSinceEpoch());
    query.addBindValue(id);
    run(query);
}

QDateTime SqlStore::lastSeen(int id) const
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT last_seen FROM device WHERE id = ?"));
    query.addBindValue(id);
    if (!run(query) || !query.next() || query.value(0).isNull())
        return {};
    return QDateTime::fromMSecsSinceEpoch(query.value(0).toLongLong(), Qt::UTC);
}

bool SqlStore::isNew(const QString& location)
{
    if (!isPostgresAddress(location))
        return !QFileInfo::exists(location);
    SqlStore probe(QStringLiteral("ktcloud-probe"));
    if (!probe.connect(location, false))
        return false;
    return probe.db.tables().isEmpty();
}

bool SqlStore::execute(const char* statement)
{
    QSqlQuery query(db);
    if (query.exec(QString::fromLatin1(statement)))
        return true;
    error = query.lastError().text();
    trouble = true;
    qWarning() << "SqlStore::execute" << statement << error;
    return false;
}

QList<QJsonObject> SqlStore::workRecords(const WorkRecordFilter& filter) const
{
    if (!writeHeld()) // what this batch holds is read too
        return {};
    QStringList conditions{QStringLiteral("ended_at >= ?"), QStringLiteral("ended_at < ?")};
    QVariantList values{filter.from.isValid() ? filter.from.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min(),
                        filter.to.isValid() ? filter.to.toMSecsSinceEpoch() : std::numeric_limits<qint64>::max()};
    if (filter.device >= 0) {
        conditions << QStringLiteral("device = ?");
        values << qint64(filter.device);
    }
    return recordsWhere("work_record", QStringLiteral("WHERE ") + conditions.join(QLatin1String(" AND ")), values);
}
