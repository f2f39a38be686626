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

// SQLite takes the write lock at the start (waiting for it as long as the busy timeout
// allows), so that a batch never fails half-way for another writer.
bool SqlStore::beginBatch()
{
    const bool began = ready() && execute(postgres ? "BEGIN" : "BEGIN IMMEDIATE");
    inBatch = true; // even when it failed: the batch's writes must fail, not run on their own
    trouble = trouble || !began;
    return began;
}

bool SqlStore::commitBatch()
{
    if (!inBatch)
        return false;
    inBatch = false;
    if (!trouble && execute("COMMIT"))
        return true;
    const QString cause = error;
    QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
    forget();
    error = cause;
    trouble = true;
    return false;
}

// The statements of every request are compiled once: compiling them again for each record
// cost more than running them.
QSqlQuery SqlStore::statement(const QString& sql) const
{
    auto known = statements.constFind(sql);
    if (known != statements.constEnd())
        return known.value();
    QSqlQuery query(db);
    if (query.prepare(sql))
        statements.insert(sql, query);
    return query;
}

int SqlStore::storedRecordId(const QString& key) const
{
    QSqlQuery query = statement(QStringLiteral("SELECT id FROM work_record WHERE record_key = ?"));
    query.bindValue(0, key);
    const int id = run(query) && query.next() ? query.value(0).toInt() : -1;
    query.finish();
    return id;
}

// The key is unique in the table: a repeat inserts nothing and is answered with what the
// first one stored. Outside a batch the record is a batch of its own.
int SqlStore::addWorkRecord(const QJsonObject& record, QJsonObject& stored)
{
    const bool own = !inBatch;
    if (own && !beginBatch())
        return -1;
    int id = insertWorkRecord(record, stored);
    if (own && !commitBatch())
        id = -1;
    return id;
}

int SqlStore::insertWorkRecord(const QJsonObject& record, QJsonObject& stored)
{
    const int device = record.value(QStringLiteral("device")).toInt();
    const QString key = RecordRules::recordKey(record, this->device(device).value(QStringLiteral("code")).toString());
    if (trouble)
        return -1;
    QJsonObject kept = record;
    kept.remove(QStringLiteral("id"));
    QSqlQuery query = statement(QStringLiteral("INSERT INTO work_record (device, ended_at, record, record_key) "
                                               "VALUES (?, ?, ?, ?) ON CONFLICT (record_key) DO NOTHING RETURNING id"));
    query.bindValue(0, qint64(device));
    query.bindValue(1, endTimeOf(record).toMSecsSinceEpoch());
    query.bindValue(2, QString::fromUtf8(QJsonDocument(kept).toJson(QJsonDocument::Compact)));
    query.bindValue(3, key.isEmpty() ? QVariant(QVariant::String) : QVariant(key));
    if (!run(query))
        return -1;
    if (query.next()) {
        const int id = query.value(0).toInt();
        query.finish();
        kept.insert(QStringLiteral("id"), id);
        stored = kept;
        return id;
    }
    query.finish();
    const int id = key.isEmpty() ? -1 : storedRecordId(key);
    if (id < 0)
        return -1;
    stored = recordsWhere("work_record", QStringLiteral("WHERE id = ?"), {id}).value(0);
    return stored.isEmpty() ? -1 : id;
}

QList<QJsonObject> SqlStore::workRecords(const WorkRecordFilter& filter) const
{
    QStringList conditions{QStringLiteral("ended_at >= ?"), QStringLiteral("ended_at < ?")};
    QVariantList values{filter.from.isValid() ? filter.from.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min(),
                        filter.to.isValid() ? filter.to.toMSecsSinceEpoch() : std::numeric_limits<qint64>::max()};
    if (filter.device >= 0) {
        conditions << QStringLiteral("device = ?");
        values << qint64(filter.device);
    }
    return recordsWhere("work_record", QStringLiteral("WHERE ") + conditions.join(QLatin1String(" AND ")), values);
}
