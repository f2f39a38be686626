// SqlStore's batches: the work records of a batch are checked one by one as their requests
// come, held in memory, and written together just before its commit with one statement, so
// that a batch costs one round trip to the server and one sync, however many records it has.
#include "recordrules.h"
#include "sqlstore.h"

#include <QDebug>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QString compactText(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// "INSERT ... VALUES (?, ?, ?, ?), ..." for rows records. A key stored already (a repeat)
// inserts nothing and does not fail the others.
QString insertRows(size_t rows)
{
    QString sql = QStringLiteral("INSERT INTO work_record (device, ended_at, record, record_key) VALUES ");
    for (size_t row = 0; row < rows; ++row)
        sql += row == 0 ? QStringLiteral("(?, ?, ?, ?)") : QStringLiteral(", (?, ?, ?, ?)");
    return sql + QStringLiteral(" ON CONFLICT (record_key) DO NOTHING RETURNING id, record_key");
}

} // namespace

// SQLite takes the write lock at the start (waiting for it as long as the busy timeout
// allows), so that a batch never fails half-way for another writer.
bool SqlStore::beginBatch()
{
    held.clear();
    written = 0;
    const bool began = ready() && execute(postgres ? "BEGIN" : "BEGIN IMMEDIATE");
    inBatch = true; // even when it failed: the batch's writes must fail, not run on their own
    trouble = trouble || !began;
    return began;
}

bool SqlStore::commitBatch()
{
    if (!inBatch)
        return false;
    const bool wrote = !trouble && writeHeld();
    inBatch = false;
    if (wrote && execute("COMMIT"))
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

QJsonObject SqlStore::heldRecord(int n) const
{
    return n >= 0 && size_t(n) < written ? held.at(size_t(n)).stored : QJsonObject();
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
    if (inBatch)
        return holdWorkRecord(record, stored);
    if (!beginBatch())
        return -1;
    const int id = holdWorkRecord(record, stored);
    if (!commitBatch() || id < 0)
        return -1;
    if (id > 0)
        return id; // written at once
    stored = heldRecord(0);
    return stored.value(QStringLiteral("id")).toInt(-1);
}

int SqlStore::holdWorkRecord(const QJsonObject& record, QJsonObject& stored)
{
    const int device = record.value(QStringLiteral("device")).toInt();
    const QString key = RecordRules::recordKey(record, this->device(device).value(QStringLiteral("code")).toString());
    if (trouble)
        return -1;
    if (key.isEmpty()) // nothing to find it by among the others: written on its own
        return insertWorkRecord(record, stored);
    QJsonObject kept = record;
    kept.remove(QStringLiteral("id"));
    held.push_back(HeldRecord{device, endTimeOf(record).toMSecsSinceEpoch(), key, kept, {}});
    stored = kept;
    return 0;
}

// A record without a key (no readable end time) is always new.
int SqlStore::insertWorkRecord(const QJsonObject& record, QJsonObject& stored)
{
    QJsonObject kept = record;
    kept.remove(QStringLiteral("id"));
    QSqlQuery query = statement(QStringLiteral("INSERT INTO work_record (device, ended_at, record) "
                                               "VALUES (?, ?, ?) RETURNING id"));
    query.bindValue(0, record.value(QStringLiteral("device")).toInt());
    query.bindValue(1, endTimeOf(record).toMSecsSinceEpoch());
    query.bindValue(2, compactText(kept));
    const int id = run(query) && query.next() ? query.value(0).toInt() : -1;
    query.finish();
    if (id > 0) {
        kept.insert(QStringLiteral("id"), id);
        stored = kept;
    }
    return id;
}

// Writes what the batch holds and not yet written (a read in the batch writes it early, so
// that it sees it).
bool SqlStore::writeHeld() const
{
    const size_t from = written;
    if (trouble || from == held.size())
        return !trouble;
    written = held.size();
    QSqlQuery query = statement(insertRows(held.size() - from));
    int column = 0;
    for (size_t i = from; i < held.size(); ++i) {
        const HeldRecord& record = held.at(i);
        query.bindValue(column++, record.device);
        query.bindValue(column++, record.endedAt);
        query.bindValue(column++, compactText(record.kept));
        query.bindValue(column++, record.key);
    }
    if (!run(query))
        return false;
    QHash<QString, int> inserted;
    while (query.next())
        inserted.insert(query.value(1).toString(), query.value(0).toInt());
    query.finish();
    return resolveHeld(int(from), inserted);
}

// Each held record as stored: the new ones with their ids, a repeat as its first post (in
// this batch or an earlier one) stored it.
bool SqlStore::resolveHeld(int from, const QHash<QString, int>& inserted) const
{
    QHash<QString, QJsonObject> known;
    for (size_t i = size_t(from); i < held.size(); ++i) {
        HeldRecord& record = held[i];
        auto first = known.constFind(record.key);
        if (first != known.constEnd()) {
            record.stored = first.value();
            continue;
        }
        const int newId = inserted.value(record.key, -1);
        const int id = newId > 0 ? newId : storedRecordId(record.key);
        record.stored =
            newId > 0 ? record.kept : recordsWhere("work_record", QStringLiteral("WHERE id = ?"), {id}).value(0);
        if (id <= 0 || record.stored.isEmpty()) {
            error = QStringLiteral("the record %1 was neither written nor found").arg(record.key);
            trouble = true;
            qWarning().noquote() << "SqlStore::resolveHeld" << error;
            return false;
        }
        record.stored.insert(QStringLiteral("id"), id);
        known.insert(record.key, record.stored);
    }
    return true;
}
