#include "cloudstorage.h"
#include "cloudtestsupport.h"
#include "localcloudservice.h"
#include "postgresserver.h"
#include "sqlstore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

QString tst_CloudStorage::databaseFor(const QString& engine, const QString& name)
{
    if (engine == QLatin1String("sqlite"))
        return files.filePath(name + QStringLiteral(".sqlite"));
    if (!postgresTried) {
        postgresTried = true;
        postgres.start();
    }
    return postgres.whyNot.isEmpty() ? postgres.createDatabase(name) : QString();
}

void tst_CloudStorage::storageKeepsRecords_data()
{
    QTest::addColumn<QString>("engine");
    QTest::newRow("sqlite") << "sqlite";
    QTest::newRow("postgresql") << "postgresql";
}

// Registration and records over HTTP, read back filtered, and again from a new service on
// the same database.
void tst_CloudStorage::storageKeepsRecords()
{
    QFETCH(QString, engine);
    const QString location = databaseFor(engine, QStringLiteral("keeps"));
    if (location.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no PostgreSQL server for this test: ") + postgres.whyNot));
    int firstId = 0;
    {
        LocalCloudService service;
        service.setToken(Token);
        QString error;
        QVERIFY2(service.useDatabase(location, &error), qPrintable(error));
        QVERIFY(service.listen(0));
        service.addDeviceModel(77);
        const quint16 port = service.port();
        QCOMPARE(statusOf(exchange(port, request("PATCH", "/device_model", R"({"code":77})", Token))), 200);
        const QJsonObject created =
            bodyOf(exchange(port, request("POST", "/device_model", R"({"code":"AB1","online":true})", Token))).object();
        const int device = created.value(QStringLiteral("id")).toInt();
        QVERIFY(device > 0);
        QCOMPARE(statusOf(exchange(port, request("POST", "/device_model", R"({"code":"AB2"})", Token))), 200);
        QCOMPARE(statusOf(exchange(port, request("PUT", "/device",
                                                 R"({"id":)" + QByteArray::number(device) + R"(,"pcb":"P9"})", Token))),
                 200);
        for (const QByteArray& day : {QByteArray("2026-12-01"), QByteArray("2026-12-02"), QByteArray("2026-12-03")})
            QCOMPARE(statusOf(exchange(port, request("POST", "/device_work_records",
                                                     workRecord(device, day + " 10:00:00.1234", 2), Token))),
                     200);
        QCOMPARE(statusOf(exchange(port, request("POST", "/device_work_records",
                                                 workRecord(device + 1, "2026-12-02 11:00:00", 1), Token))),
                 200);
        QCOMPARE(statusOf(exchange(
                     port, request("POST", "/device_work_records", workRecord(99, "2026-12-02 11:00:00", 1), Token))),
                 400);

        const QJsonArray ranged =
            bodyOf(exchange(port, request("GET",
                                          "/device_work_records?device=" + QByteArray::number(device)
                                              + "&from=2026-12-02&to=2026-12-03",
                                          {}, Token)))
                .array();
        QCOMPARE(ranged.size(), 1);
        QCOMPARE(ranged.first().toObject().value(QStringLiteral("end_time")).toString(),
                 QStringLiteral("2026-12-02 10:00:00.1234"));
        firstId = ranged.first().toObject().value(QStringLiteral("id")).toInt();
        const QByteArray csv = exchange(port, request("GET", "/device_work_records?code=AB1&format=csv", {}, Token));
        QVERIFY2(csv.contains("text/csv") && csv.count("30x40") == 3, csv.constData());
    }
    LocalCloudService again;
    QVERIFY(again.useDatabase(location));
    QCOMPARE(again.deviceCount(), 2);
    QCOMPARE(again.deviceByCode(QStringLiteral("AB1")).value(QStringLiteral("pcb")).toString(), QStringLiteral("P9"));
    const QList<QJsonObject> records = again.workRecords();
    QCOMPARE(records.size(), 4);
    QCOMPARE(records.at(1).value(QStringLiteral("id")).toInt(), firstId);
    QCOMPARE(records.at(1).value(QStringLiteral("page_area")).toInt(), 1200);
    QCOMPARE(again.addDeviceModel(77), again.addDeviceModel(77)); // known models are not doubled
}

void tst_CloudStorage::olderSchemaIsMigrated()
{
    const QString location = databaseFor(QStringLiteral("sqlite"), QStringLiteral("old"));
    QString error;
    QVERIFY2(SqlStore::createSchemaUpTo(location, 1, &error), qPrintable(error));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(location);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(
            QStringLiteral(R"(INSERT INTO device (code, record) VALUES ('OLD1', '{"code":"OLD1"}'))")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));
    {
        std::unique_ptr<SqlStore> store = SqlStore::open(location, &error);
        QVERIFY2(store, qPrintable(error));
        QCOMPARE(store->schemaVersion(), SqlStore::SchemaVersion);
        const int id = store->deviceByCode(QStringLiteral("OLD1")).value(QStringLiteral("id")).toInt();
        QVERIFY(id > 0);
        const QDateTime when = QDateTime::fromMSecsSinceEpoch(1765000000000, Qt::UTC);
        store->touchDevice(id, when); // a column the later step added
        QCOMPARE(store->lastSeen(id), when);
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("newer"));
        db.setDatabaseName(location);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("UPDATE schema_version SET version = 99")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("newer"));
    QVERIFY(!SqlStore::open(location, &error));
    QVERIFY2(error.contains(QStringLiteral("99")), qPrintable(error));
}

// A record the service answered for is in the database even when the service is killed at
// once, and a restarted service serves it.
void tst_CloudStorage::executableKeepsRecordsAfterKill()
{
    const QString program = qEnvironmentVariable("KT_BUILD_BIN") + QStringLiteral("/ktrv8-cloud");
    if (!QFile::exists(program))
        QSKIP("ktrv8-cloud is not built");
    // Any free port: the documented one may be taken by a test running beside this one.
    const QStringList arguments{QStringLiteral("--db"),    files.filePath(QStringLiteral("killed.sqlite")),
                                QStringLiteral("--token"), QString::fromLatin1(Token),
                                QStringLiteral("--port"),  QStringLiteral("0")};
    QProcess service;
    service.start(program, arguments + QStringList{QStringLiteral("--init")});
    quint16 port = quint16(firstLineStarting(service, "port ").toUInt());
    QVERIFY(port > 0);
    QCOMPARE(statusOf(exchange(port, request("POST", "/device_model", R"({"code":"AB1"})", Token))), 200);
    QCOMPARE(statusOf(exchange(
                 port, request("POST", "/device_work_records", workRecord(1, "2026-12-01 10:00:00", 3), Token))),
             200);
    service.kill(); // SIGKILL
    QVERIFY(service.waitForFinished(5000));

    service.start(program, arguments);
    port = quint16(firstLineStarting(service, "port ").toUInt());
    QVERIFY(port > 0);
    const QJsonArray records =
        bodyOf(exchange(port, request("GET", "/device_work_records?device=1", {}, Token))).array();
    QCOMPARE(records.size(), 1);
    QCOMPARE(records.first().toObject().value(QStringLiteral("finish_copies")).toInt(), 3);
    service.kill();
    QVERIFY(service.waitForFinished(5000));
}

void tst_CloudStorage::databaseTroubleIsAnsweredAs503_data()
{
    QTest::addColumn<QString>("engine");
    QTest::newRow("sqlite folder removed") << "sqlite";
    QTest::newRow("postgresql restarted") << "postgresql";
}

// While the database is away the service says so, never with an answer built on missing
// data ("unknown device", an empty list), and serves again by itself once it is back.
void tst_CloudStorage::databaseTroubleIsAnsweredAs503()
{
    QFETCH(QString, engine);
    const bool sqlite = engine == QLatin1String("sqlite");
    const QString folder = files.filePath(QStringLiteral("trouble"));
    QVERIFY(QDir().mkpath(folder));
    const QString location =
        sqlite ? folder + QStringLiteral("/fleet.sqlite") : databaseFor(engine, QStringLiteral("trouble"));
    if (location.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no PostgreSQL server for this test: ") + postgres.whyNot));
    LocalCloudService service;
    service.setToken(Token);
    QVERIFY(service.useDatabase(location));
    QVERIFY(service.listen(0));
    const quint16 port = service.port();
    const QByteArray created = exchange(port, request("POST", "/device_model", R"({"code":"AB1"})", Token));
    const int device = bodyOf(created).object().value(QStringLiteral("id")).toInt();
    QVERIFY2(device > 0, created.constData());

    QVERIFY(sqlite ? QDir(folder).removeRecursively() : (postgres.stop(), true));
    const QByteArray refused =
        exchange(port, request("POST", "/device_work_records", workRecord(device, "2026-12-01 10:00:00", 1), Token));
    QCOMPARE(statusOf(refused), 503);
    QVERIFY2(refused.contains("Retry-After: "), refused.constData());
    QCOMPARE(statusOf(exchange(port, request("GET", "/device_work_records", {}, Token))), 503);
    QCOMPARE(statusOf(exchange(port, request("GET", "/device", {}, Token))), 503);
    QCOMPARE(statusOf(exchange(port, request("GET", "/page.css"))), 200);
    if (sqlite) {
        QVERIFY(!QFileInfo::exists(location)); // never a new empty database in its place
        return;
    }
    QVERIFY2(postgres.resume(), qPrintable(postgres.whyNot));
    QCOMPARE(statusOf(exchange(
                 port, request("POST", "/device_work_records", workRecord(device, "2026-12-01 10:00:00", 1), Token))),
             200);
    QCOMPARE(bodyOf(exchange(port, request("GET", "/device_work_records", {}, Token))).array().size(), 1);
}

// A database folder that is not there is a wrong path or a removed state folder: the program
// names --init instead of starting on a new empty database; with it, the folder is private.
void tst_CloudStorage::executableWantsInitForANewFolder()
{
    const QString program = qEnvironmentVariable("KT_BUILD_BIN") + QStringLiteral("/ktrv8-cloud");
    if (!QFile::exists(program))
        QSKIP("ktrv8-cloud is not built");
    const QString location = files.filePath(QStringLiteral("state/fleet.sqlite"));
    QProcess refused;
    refused.start(program, {QStringLiteral("--db"), location, QStringLiteral("--port"), QStringLiteral("0")});
    QVERIFY(refused.waitForFinished(10000));
    QCOMPARE(refused.exitCode(), 1);
    QVERIFY(refused.readAllStandardError().contains("--init"));
    QVERIFY(!QFileInfo::exists(files.filePath(QStringLiteral("state"))));

    QProcess first;
    first.start(program, {QStringLiteral("--db"), location, QStringLiteral("--port"), QStringLiteral("0"),
                          QStringLiteral("--init")});
    QVERIFY(firstLineStarting(first, "port ").toUInt() > 0);
    QCOMPARE(QFileInfo(files.filePath(QStringLiteral("state"))).permissions() & 0x0077, QFileDevice::Permissions());
    QCOMPARE(QFileInfo(location).permissions() & 0x0077, QFileDevice::Permissions());
    first.kill();
    QVERIFY(first.waitForFinished(5000));
}

// A write that waits for the database holds up neither the page nor other connections.
void tst_CloudStorage::pageAnswersWhileAWriteWaits()
{
    const QString location = files.filePath(QStringLiteral("locked.sqlite"));
    LocalCloudService service;
    service.setToken(Token);
    QVERIFY(service.useDatabase(location));
    QVERIFY(service.listen(0));
    const int device = service.addDevice(QJsonObject{{QStringLiteral("code"), QStringLiteral("AB1")}});
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
        other.setDatabaseName(location);
        QVERIFY(other.open());
        QVERIFY(QSqlQuery(other).exec(QStringLiteral("BEGIN EXCLUSIVE")));
        QTcpSocket writer;
        writer.connectToHost(QHostAddress::LocalHost, service.port());
        writer.write(request("POST", "/device_work_records", workRecord(device, "2026-12-01 10:00:00", 1), Token));
        QElapsedTimer waited;
        waited.start();
        QCOMPARE(statusOf(exchange(service.port(), request("GET", "/page.css"))), 200);
        QVERIFY2(waited.elapsed() < 2000, qPrintable(QString::number(waited.elapsed())));
        QCOMPARE(writer.bytesAvailable(), 0); // the record still waits for the lock
        QVERIFY(QSqlQuery(other).exec(QStringLiteral("COMMIT")));
        QTRY_VERIFY_WITH_TIMEOUT(writer.bytesAvailable() > 0, 5000);
        QCOMPARE(statusOf(writer.readAll()), 200);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("locker"));
    QCOMPARE(service.workRecords().size(), 1);
}

// Without --db the program keeps its records in SQLite: the package must bring Qt's driver
// for it, or a fresh install cannot start.
void tst_CloudStorage::packageBringsTheDefaultDriver()
{
    QFile config(qEnvironmentVariable("KT_BUILD_BIN") + QStringLiteral("/../CPackConfig.cmake"));
    if (!config.open(QIODevice::ReadOnly))
        QSKIP("the build has no package configuration");
    const QByteArray text = config.readAll();
    const int at = text.indexOf("set(CPACK_DEBIAN_PACKAGE_DEPENDS");
    QVERIFY(at >= 0);
    const QByteArray depends = text.mid(at, text.indexOf(')', at) - at);
    QVERIFY2(depends.contains("libqt5sql5-sqlite"), depends.constData());
}

void tst_CloudStorage::cleanupTestCase()
{
    postgres.stop();
}

int runCloudStorageTests(int argc, char* argv[])
{
    tst_CloudStorage storage;
    return QTest::qExec(&storage, argc, argv);
}
