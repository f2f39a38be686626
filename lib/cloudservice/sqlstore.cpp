#include "sqlstore.h"

#include <QAtomicInt>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <limits>

namespace {

// One step of the schema. "%ID%" stands for the engine's auto-numbered key column.
struct Migration
{
    int version;
    QStringList statements;
};

const QList<Migration>& migrations()
{
    static const QList<Migration> steps{
        {1,
         {QStringLiteral(
              "CREATE TABLE device_model (id %ID%, code BIGINT NOT NULL UNIQUE, name TEXT NOT NULL DEFAULT '')"),
          QStringLiteral("CREATE TABLE device (id %ID%, code TEXT NOT NULL UNIQUE, record TEXT NOT NULL)"),
          QStringLiteral("CREATE TABLE work_record (id %ID%, device BIGINT NOT NULL REFERENCES device (id), "
                         "ended_at BIGINT NOT NULL, record TEXT NOT NULL)")}},
        {2,
         {QStringLiteral("ALTER TABLE device ADD COLUMN last_seen BIGINT"),
          QStringLiteral("CREATE INDEX work_record_by_device_time ON work_record (device, ended_at)")}},
        // A record posted again is found by its key instead of being stored twice.
        {3,
         {QStringLiteral("ALTER TABLE work_record ADD COLUMN record_key TEXT"),
          QStringLiteral("CREATE UNIQUE INDEX work_record_by_key ON work_record (record_key)")}},
    };
    return steps;
}

QString compact(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QJsonObject withoutId(QJsonObject record)
{
    record.remove(QStringLiteral("id"));
    return record;
}

} // namespace

bool SqlStore::isPostgresAddress(const QString& location)
{
    return location.startsWith(QLatin1String("postgresql://")) || location.startsWith(QLatin1String("postgres://"));
}

SqlStore::SqlStore(const QString& connectionName) : connection(connectionName) {}

SqlStore::~SqlStore()
{
    statements.clear();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection);
}

std::unique_ptr<SqlStore> SqlStore::open(const QString& location, QString* error, bool createFolder)
{
    static QAtomicInt counter;
    std::unique_ptr<SqlStore> store(new SqlStore(QStringLiteral("ktcloud-%1").arg(counter.fetchAndAddRelaxed(1))));
    if (!store->connect(location, createFolder) || !store->migrate(SchemaVersion)) {
        if (error)
            *error = store->error;
        return nullptr;
    }
    return store;
}

bool SqlStore::createSchemaUpTo(const QString& location, int version, QString* error)
{
    SqlStore store(QStringLiteral("ktcloud-schema"));
    const bool ok = store.connect(location, false) && store.migrate(version);
    if (!ok && error)
        *error = store.error;
    return ok;
}

bool SqlStore::connect(const QString& location, bool createFolder)
{
    postgres = isPostgresAddress(location);
    const QString driver = postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        error = QStringLiteral("the Qt SQL driver %1 is not installed").arg(driver);
        return false;
    }
    db = QSqlDatabase::addDatabase(driver, connection);
    if (postgres) {
        const QUrl url(location);
        db.setHostName(url.host());
        db.setPort(url.port(5432));
        db.setUserName(url.userName());
        db.setPassword(url.password());
        db.setDatabaseName(url.path().mid(1));
    } else {
        file = QFileInfo(location).absoluteFilePath();
        if (!prepareFile(createFolder))
            return false;
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    }
    if (!db.open()) {
        error = db.lastError().text();
        return false;
    }
    return configure();
}

// A missing folder is a mistake (a wrong path, a removed state folder), never made in
// passing; a new file is readable by its owner only.
bool SqlStore::prepareFile(bool createFolder)
{
    const QString folder = QFileInfo(file).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        if (!createFolder) {
            error = QStringLiteral("the folder %1 does not exist").arg(folder);
            return false;
        }
        if (!QDir().mkpath(folder)
            || !QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
            error = QStringLiteral("cannot create the folder %1").arg(folder);
            return false;
        }
    }
    if (QFileInfo::exists(file))
        return true;
    QFile created(file);
    if (!created.open(QIODevice::WriteOnly) || !created.setPermissions(QFile::ReadOwner | QFile::WriteOwner)) {
        error = QStringLiteral("cannot create %1: %2").arg(file, created.errorString());
        return false;
    }
    return true;
}

bool SqlStore::configure()
{
    if (postgres)
        return true;
    // WAL with full sync: a committed record survives the process being killed right after.
    QSqlQuery pragma(db);
    for (const char* statement : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL", "PRAGMA foreign_keys=ON"}) {
        if (!pragma.exec(QString::fromLatin1(statement))) {
            error = pragma.lastError().text();
            return false;
        }
    }
    return true;
}

// A SQLite file that is gone stays gone: opening it again would make a new empty one.
// Within a batch nothing is reconnected: the batch is lost with its connection.
bool SqlStore::ready()
{
    if (inBatch)
        return !trouble;
    if (!postgres && !QFileInfo::exists(file)) {
        if (!trouble)
            qCritical().noquote() << "SqlStore::ready the database file" << file << "is gone; answering 503";
        error = QStringLiteral("the database file is gone");
        trouble = true;
        return false;
    }
    return !trouble || reconnect();
}

bool SqlStore::reconnect()
{
    statements.clear(); // prepared on the connection that is closed here
    forget();
    db.close();
    if (!db.open() || !configure()) {
        error = db.lastError().text();
        return false;
    }
    QSqlQuery probe(db);
    if (!probe.exec(QStringLiteral("SELECT 1"))) {
        error = probe.lastError().text();
        return false;
    }
    qInfo().noquote() << "SqlStore::reconnect the database answers again";
    trouble = false;
    return true;
}

int SqlStore::schemaVersion() const
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) || !query.next())
        return 0;
    return query.value(0).toInt();
}

bool SqlStore::migrate(int upTo)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)"))) {
        error = query.lastError().text();
        return false;
    }
    const int current = schemaVersion();
    if (current > SchemaVersion) {
        error = QStringLiteral("the database has schema version %1, newer than this program's %2")
                    .arg(current)
                    .arg(SchemaVersion);
        return false;
    }
    const QString idColumn =
        postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY") : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    for (const Migration& step : migrations()) {
        if (step.version <= current || step.version > upTo)
            continue;
        db.transaction();
        QStringList statements = step.statements;
        statements << QStringLiteral("DELETE FROM schema_version")
                   << QStringLiteral("INSERT INTO schema_version (version) VALUES (%1)").arg(step.version);
        for (QString statement : statements) {
            if (!query.exec(statement.replace(QLatin1String("%ID%"), idColumn))) {
                error = QStringLiteral("schema step %1: %2").arg(step.version).arg(query.lastError().text());
                query.finish();
                db.rollback();
                return false;
            }
        }
        if (!db.commit()) {
            error = db.lastError().text();
            return false;
        }
        qDebug() << "SqlStore::migrate to version" << step.version;
    }
    return true;
}

bool SqlStore::run(QSqlQuery& query) const
{
    if (query.exec())
        return true;
    error = query.lastError().text();
    trouble = true;
    qWarning() << "SqlStore::run" << error;
    return false;
}

// Inserts in a transaction of its own (or the batch's) and returns the new id once it is
// committed.
int SqlStore::insertReturningId(QSqlQuery& query)
{
    if (inBatch) {
        const int id = run(query) && query.next() ? query.value(0).toInt() : -1;
        query.finish();
        return id;
    }
    if (!db.transaction()) {
        error = db.lastError().text();
        trouble = true;
        return -1;
    }
    int id = -1;
    if (run(query) && query.next())
        id = query.value(0).toInt();
    query.finish();
    if (id < 0 || !db.commit()) {
        if (id >= 0)
            error = db.lastError().text();
        trouble = true;
        db.rollback();
        forget();
        return -1;
    }
    return id;
}

// A model the database knows already keeps its entry, so a service can name its models at
// every start.
int SqlStore::addDeviceModel(int code, const QString& name)
{
    const QJsonObject known = deviceModelByCode(code);
    if (!known.isEmpty())
        return known.value(QStringLiteral("id")).toInt();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO device_model (code, name) VALUES (?, ?) RETURNING id"));
    query.addBindValue(qint64(code));
    query.addBindValue(name.isNull() ? QStringLiteral("") : name); // a null text would bind as NULL
    return insertReturningId(query);
}

QJsonObject SqlStore::deviceModelByCode(qint64 code) const
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT id, code, name FROM device_model WHERE code = ?"));
    query.addBindValue(code);
    if (!run(query) || !query.next())
        return {};
    return QJsonObject{{QStringLiteral("id"), query.value(0).toInt()},
                       {QStringLiteral("code"), query.value(1).toLongLong()},
                       {QStringLiteral("name"), query.value(2).toString()}};
}

int SqlStore::addDevice(const QJsonObject& record)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO device (code, record) VALUES (?, ?) RETURNING id"));
    query.addBindValue(record.value(QStringLiteral("code")).toString());
    query.addBindValue(compact(withoutId(record)));
    const int id = insertReturningId(query);
    if (id >= 0) {
        QJsonObject stored = withoutId(record);
        stored.insert(QStringLiteral("id"), id);
        remember(stored);
    }
    return id;
}

bool SqlStore::updateDevice(int id, const QJsonObject& record)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("UPDATE device SET code = ?, record = ? WHERE id = ?"));
    query.addBindValue(record.value(QStringLiteral("code")).toString());
    query.addBindValue(compact(withoutId(record)));
    query.addBindValue(id);
    forget();
    return run(query) && query.numRowsAffected() == 1;
}

// Every request asks for its device: it is read once and then kept, as this service is the
// only one that writes it (see remember()).
QJsonObject SqlStore::device(int id) const
{
    const auto known = deviceCache.constFind(id);
    if (known != deviceCache.constEnd())
        return known.value();
    return remember(recordsWhere("device", QStringLiteral("WHERE id = ?"), {id}).value(0));
}

QJsonObject SqlStore::deviceByCode(const QString& code) const
{
    const auto known = deviceIds.constFind(code);
    if (known != deviceIds.constEnd())
        return device(known.value());
    return remember(recordsWhere("device", QStringLiteral("WHERE code = ?"), {code}).value(0));
}

QList<QJsonObject> SqlStore::devices() const
{
    return recordsWhere("device", QString(), {});
}
