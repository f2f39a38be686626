#ifndef CLOUDSTORE_H
#define CLOUDSTORE_H

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>

// Which work records to read back; an invalid time leaves that end of the range open.
struct WorkRecordFilter
{
    int device = -1; // -1: every device
    QDateTime from;  // inclusive
    QDateTime to;    // exclusive
};

// Where the cloud keeps device models, devices and work records. Every write is complete
// when the call returns, so the service may answer only after it, unless it runs inside a
// batch (beginBatch): then it is complete once commitBatch() returned true. Ids are
// positive; a failed write returns -1 or false and leaves nothing behind.
class CloudStore
{
public:
    virtual ~CloudStore() = default;

    virtual int addDeviceModel(int code, const QString& name) = 0;
    virtual QJsonObject deviceModelByCode(qint64 code) const = 0;

    virtual int addDevice(const QJsonObject& record) = 0;
    virtual bool updateDevice(int id, const QJsonObject& record) = 0; // replaces the record
    virtual QJsonObject device(int id) const = 0;
    virtual QJsonObject deviceByCode(const QString& code) const = 0;
    virtual QList<QJsonObject> devices() const = 0; // by id
    virtual void touchDevice(int id, const QDateTime& when) = 0;
    virtual QDateTime lastSeen(int id) const = 0;

    // A record whose key (RecordRules::recordKey) is stored already is not stored again:
    // its id is returned and stored receives it as kept.
    virtual int addWorkRecord(const QJsonObject& record, QJsonObject& stored) = 0;
    virtual QList<QJsonObject> workRecords(const WorkRecordFilter& filter) const = 0; // by id

    virtual QString lastError() const { return QString(); }

    // Before each request: false when the database cannot serve now (its file gone, its
    // server away); a store that lost its connection tries to reconnect here.
    virtual bool ready() { return true; }
    // Whether a call since ready() failed for the database's sake, so that an answer built on
    // what it returned would be wrong.
    virtual bool troubled() const { return false; }

    // Writes from here to commitBatch() reach the disk together, with one sync. False when
    // the batch cannot be had (the database is in trouble); the writes then fail too.
    virtual bool beginBatch() { return true; }
    // False, and nothing of the batch kept, when the commit failed or a write in it did.
    virtual bool commitBatch() { return true; }
    // Inside a batch a store may hold work records back and write them all at the commit in
    // one statement: addWorkRecord() then returns 0 and stored lacks its id. heldRecords()
    // counts those of this batch; heldRecord(n) is the n-th as stored (with its id, or the
    // first post's record for a repeat) once commitBatch() returned true.
    virtual int heldRecords() const { return 0; }
    virtual QJsonObject heldRecord(int n) const
    {
        Q_UNUSED(n);
        return {};
    }

    // When a work record ended: its "end_time" (UTC) when readable, else now.
    static QDateTime endTimeOf(const QJsonObject& record);
};

// Everything in memory, gone with the process. Ids come from one counter shared by all
// three kinds, as tests that set up a cloud by hand expect.
class MemoryStore : public CloudStore
{
public:
    int addDeviceModel(int code, const QString& name) override;
    QJsonObject deviceModelByCode(qint64 code) const override;
    int addDevice(const QJsonObject& record) override;
    bool updateDevice(int id, const QJsonObject& record) override;
    QJsonObject device(int id) const override { return deviceTable.value(id); }
    QJsonObject deviceByCode(const QString& code) const override;
    QList<QJsonObject> devices() const override { return deviceTable.values(); }
    void touchDevice(int id, const QDateTime& when) override { seen.insert(id, when); }
    QDateTime lastSeen(int id) const override { return seen.value(id); }
    int addWorkRecord(const QJsonObject& record, QJsonObject& stored) override;
    QList<QJsonObject> workRecords(const WorkRecordFilter& filter) const override;

private:
    QHash<QString, int> recordIndex; // key: position in records
    QMap<int, QJsonObject> models;
    QMap<int, QJsonObject> deviceTable;
    QHash<int, QDateTime> seen;
    QList<QJsonObject> records;
    int nextId = 1;
};

#endif // CLOUDSTORE_H
