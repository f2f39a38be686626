// Work records kept once: under load and a kill, when posted again, and only in a database
// the user created; and read back as a spreadsheet takes them.
#include "cloudstorage.h"
#include "cloudtestsupport.h"
#include "localcloudservice.h"
#include "sqlstore.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

QString program()
{
    return qEnvironmentVariable("KT_BUILD_BIN") + QStringLiteral("/ktrv8-cloud");
}

QByteArray endTimeOf(int serial)
{
    return QDateTime(QDate(2026, 12, 1), QTime(0, 0), Qt::UTC)
        .addSecs(serial)
        .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
        .toLatin1();
}

// Devices posting one record after the other on keep-alive connections, each record with a
// start time of its own; which ones were acknowledged, and which were still waiting.
struct Posters
{
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    QSet<QByteArray> acknowledged;
    QSet<QByteArray> waiting;
    int next = 0;

    void post(QTcpSocket& socket, int device)
    {
        const QByteArray ended = endTimeOf(next++);
        socket.setProperty("waiting", ended);
        waiting.insert(ended);
        socket.write(request("POST", "/device_work_records", workRecord(device, ended, 1), Token));
    }
    void start(quint16 port, int device, int count)
    {
        for (int i = 0; i < count; ++i) {
            sockets.push_back(std::make_unique<QTcpSocket>());
            QTcpSocket* socket = sockets.back().get();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, device] {
                QByteArray& in = buffers[socket];
                in += socket->readAll();
                if (completeAnswers(in) == 0)
                    return;
                const QByteArray ended = socket->property("waiting").toByteArray();
                if (statusOf(in) == 200)
                    acknowledged.insert(ended);
                waiting.remove(ended);
                in.clear();
                post(*socket, device);
            });
            socket->connectToHost(QHostAddress::LocalHost, port);
            post(*socket, device);
        }
    }
    QHash<QTcpSocket*, QByteArray> buffers;
};

} // namespace

void tst_CloudStorage::killedMidLoadKeepsEachAcknowledgedRecordOnce_data()
{
    QTest::addColumn<QString>("engine");
    QTest::newRow("sqlite") << "sqlite";
    QTest::newRow("postgresql") << "postgresql";
}

// SIGKILL while 16 devices post at once: every record that was answered 200 is there after
// the restart, none twice; those still waiting for their answer, posted again as the host
// does, are kept once whether or not the killed service had stored them.
void tst_CloudStorage::killedMidLoadKeepsEachAcknowledgedRecordOnce()
{
    QFETCH(QString, engine);
    if (!QFile::exists(program()))
        QSKIP("ktrv8-cloud is not built");
    const QString location = databaseFor(engine, QStringLiteral("killed_load"));
    if (location.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no PostgreSQL server for this test: ") + postgres.whyNot));
    const QStringList arguments{QStringLiteral("--db"),    location,
                                QStringLiteral("--token"), QString::fromLatin1(Token),
                                QStringLiteral("--port"),  QStringLiteral("0")};
    QProcess service;
    service.start(program(), arguments + QStringList{QStringLiteral("--init")});
    quint16 port = quint16(firstLineStarting(service, "port ").toUInt());
    QVERIFY(port > 0);
    QCOMPARE(statusOf(exchange(port, request("POST", "/device_model", R"({"code":"AB1"})", Token))), 200);
    Posters posters;
    posters.start(port, 1, 16);
    QTRY_VERIFY_WITH_TIMEOUT(posters.acknowledged.size() >= 300, 30000);
    service.kill(); // SIGKILL, answers on their way
    QVERIFY(service.waitForFinished(5000));
    QTRY_VERIFY_WITH_TIMEOUT(std::all_of(posters.sockets.begin(), posters.sockets.end(),
                                         [](const auto& s) { return s->state() == QAbstractSocket::UnconnectedState; }),
                             5000);

    service.start(program(), arguments);
    port = quint16(firstLineStarting(service, "port ").toUInt());
    QVERIFY(port > 0);
    for (const QByteArray& ended : posters.waiting)
        QCOMPARE(statusOf(exchange(port, request("POST", "/device_work_records", workRecord(1, ended, 1), Token))),
                 200);
    const QJsonArray records = bodyOf(exchange(port, request("GET", "/device_work_records", {}, Token))).array();
    QSet<QByteArray> stored;
    for (const QJsonValue& r : records)
        stored.insert(r.toObject().value(QStringLiteral("end_time")).toString().toLatin1());
    QCOMPARE(stored.size(), records.size()); // none twice
    QCOMPARE(stored, posters.acknowledged + posters.waiting);
    service.kill();
    QVERIFY(service.waitForFinished(5000));
}

void tst_CloudStorage::repeatedRecordIsStoredOnce_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<int>("stored");
    const QByteArray first = R"({"device":1,"end_time":"2026-12-01 10:00:00.125","task_time":60,"finish_copies":1})";
    for (const char* engine : {"memory", "sqlite", "postgresql"}) {
        const auto row = [engine](const char* name) -> QTestData& { return QTest::addRow("%s: %s", engine, name); };
        row("the same record again") << engine << first << 1;
        row("the same start, ended later") << engine
                                           << QByteArray(R"({"device":1,"end_time":"2026-12-01 10:00:10.125",)"
                                                         R"("task_time":70,"finish_copies":1})")
                                           << 1;
        row("another start") << engine << QByteArray(first).replace("\"task_time\":60", "\"task_time\":61") << 2;
        row("another device") << engine << QByteArray(first).replace("\"device\":1", "\"device\":2") << 2;
        row("the host's own key twice")
            << engine << QByteArray(first).replace("10:00:00", "11:00:00").replace("}", R"(,"record_key":"k1"})") << 1;
    }
}

// A repeat is answered with the record as first stored, under the same id.
void tst_CloudStorage::repeatedRecordIsStoredOnce()
{
    QFETCH(QString, engine);
    QFETCH(QByteArray, second);
    QFETCH(int, stored);
    LocalCloudService service;
    static int serial = 0;
    const QString location =
        engine == QLatin1String("memory") ? QString() : databaseFor(engine, QStringLiteral("repeat%1").arg(++serial));
    if (engine == QLatin1String("postgresql") && location.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no PostgreSQL server for this test: ") + postgres.whyNot));
    QVERIFY(location.isEmpty() || service.useDatabase(location));
    QVERIFY(service.listen(0));
    service.addDevice(QJsonObject{{QStringLiteral("code"), QStringLiteral("AB1")}});
    service.addDevice(QJsonObject{{QStringLiteral("code"), QStringLiteral("AB2")}});
    const QByteArray keyed = second.contains("record_key") ? QByteArray(R"(,"record_key":"k1"})") : QByteArray("}");
    const QByteArray first = QByteArray(R"({"device":1,"end_time":"2026-12-01 10:00:00.125","task_time":60,)"
                                        R"("finish_copies":1)")
                             + keyed;
    const QByteArray answer = exchange(service.port(), request("POST", "/device_work_records", first));
    const QByteArray again = exchange(service.port(), request("POST", "/device_work_records", second));
    QCOMPARE(statusOf(again), 200);
    QCOMPARE(service.workRecords().size(), stored);
    if (stored == 1)
        QCOMPARE(bodyOf(again).object(), bodyOf(answer).object());
}

void tst_CloudStorage::batchWritesItsRecordsTogether_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QStringList>("earlier"); // record keys committed before
    QTest::addColumn<QStringList>("batch");   // keys; "read" lists the records, "stray" names no device
    QTest::addColumn<int>("stored");          // records afterwards
    QTest::addColumn<int>("seen");            // records the read saw
    for (const char* engine : {"sqlite", "postgresql"}) {
        const auto row = [engine](const char* name) -> QTestData& { return QTest::addRow("%s: %s", engine, name); };
        row("a repeat in the same batch") << engine << QStringList() << QStringList{"k1", "k1"} << 1 << -1;
        row("a repeat of an earlier batch") << engine << QStringList{"k1"} << QStringList{"k2", "k1", "k3"} << 3 << -1;
        row("a read sees what the batch holds")
            << engine << QStringList{"k1"} << QStringList{"k2", "read", "k3"} << 3 << 2;
        row("one broken record fails all") << engine << QStringList{"k1"} << QStringList{"k2", "stray"} << 1 << -1;
    }
}

// A batch's records are written together at its commit: each answered with its own id, a
// repeat (in the batch or before it) with the first one's, all or nothing kept (a record
// of no device breaks the batch).
void tst_CloudStorage::batchWritesItsRecordsTogether()
{
    QFETCH(QString, engine);
    QFETCH(QStringList, earlier);
    QFETCH(QStringList, batch);
    QFETCH(int, seen);
    static int serial = 0;
    const QString location = databaseFor(engine, QStringLiteral("batch%1").arg(++serial));
    if (location.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no PostgreSQL server for this test: ") + postgres.whyNot));
    QString error;
    std::unique_ptr<SqlStore> store = SqlStore::open(location, &error);
    QVERIFY2(store, qPrintable(error));
    const int device = store->addDevice(QJsonObject{{QStringLiteral("code"), QStringLiteral("AB1")}});
    QHash<QString, int> ids; // by key
    bool committed = false;
    for (const QStringList& keys : {earlier, batch}) {
        QVERIFY(store->beginBatch());
        for (const QString& key : keys) {
            QJsonObject stored;
            if (key == QLatin1String("read"))
                QCOMPARE(store->workRecords({}).size(), seen);
            else
                store->addWorkRecord(
                    QJsonObject{{QStringLiteral("device"), key == QLatin1String("stray") ? 99 : device},
                                {QStringLiteral("end_time"), QStringLiteral("2026-12-01 10:00:00")},
                                {QStringLiteral("record_key"), key}},
                    stored);
        }
        committed = store->commitBatch();
        for (int i = 0; committed && i < store->heldRecords(); ++i) {
            const int id = store->heldRecord(i).value(QStringLiteral("id")).toInt();
            const QString key = store->heldRecord(i).value(QStringLiteral("record_key")).toString();
            QVERIFY(id > 0);
            QCOMPARE(ids.value(key, id), id); // a repeat has the first one's id
            QCOMPARE(ids.key(id, key), key);  // and no other record has it
            ids.insert(key, id);
        }
    }
    QCOMPARE(committed, !batch.contains(QStringLiteral("stray")));
    QVERIFY(store->ready()); // as before every request: a failed batch leaves the store usable
    QTEST(int(store->workRecords({}).size()), "stored");
}

void tst_CloudStorage::executableWantsInitForANewDatabase_data()
{
    QTest::addColumn<QString>("engine");
    QTest::newRow("sqlite file missing") << "sqlite";
    QTest::newRow("postgresql database empty") << "postgresql";
}

// Without --init a database that does not exist is refused, naming the flag, and nothing is
// created; with it the service starts, and later starts need it no more.
void tst_CloudStorage::executableWantsInitForANewDatabase()
{
    QFETCH(QString, engine);
    if (!QFile::exists(program()))
        QSKIP("ktrv8-cloud is not built");
    const QString location = databaseFor(engine, QStringLiteral("first_start"));
    if (location.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no PostgreSQL server for this test: ") + postgres.whyNot));
    const QStringList arguments{QStringLiteral("--db"), location, QStringLiteral("--port"), QStringLiteral("0")};
    QProcess service;
    service.start(program(), arguments);
    QVERIFY(service.waitForFinished(10000));
    QCOMPARE(service.exitCode(), 1);
    QVERIFY(service.readAllStandardError().contains("give --init"));
    QVERIFY(engine != QLatin1String("sqlite") || !QFileInfo::exists(location));
    for (const QStringList& start : {arguments + QStringList{QStringLiteral("--init")}, arguments}) {
        service.start(program(), start);
        QVERIFY2(firstLineStarting(service, "port ").toUInt() > 0, qPrintable(start.join(' ')));
        service.kill();
        QVERIFY(service.waitForFinished(5000));
    }
}

void tst_CloudStorage::csvCellsStayText_data()
{
    QTest::addColumn<QByteArray>("size");  // the record's page_size, as JSON text
    QTest::addColumn<QByteArray>("query"); // besides the format
    QTest::addColumn<QByteArray>("cell");  // as the CSV must hold it, commas around
    QTest::newRow("=") << QByteArray("=1+1") << QByteArray() << QByteArray(",'=1+1,");
    QTest::newRow("+") << QByteArray("+1") << QByteArray() << QByteArray(",'+1,");
    QTest::newRow("-") << QByteArray("-2") << QByteArray() << QByteArray(",'-2,");
    QTest::newRow("@") << QByteArray("@SUM(A1)") << QByteArray() << QByteArray(",'@SUM(A1),");
    QTest::newRow("tab first") << QByteArray("\\t=1") << QByteArray() << QByteArray(",'\t=1,");
    QTest::newRow("lone CR") << QByteArray("a\\rb") << QByteArray() << QByteArray(",\"a\rb\",");
    QTest::newRow("quote inside") << QByteArray("a\\\"b") << QByteArray() << QByteArray(",\"a\"\"b\",");
    QTest::newRow("format in capitals") << QByteArray("=1") << QByteArray("&format=CSV") << QByteArray(",'=1,");
    QTest::newRow("no such code, still CSV") << QByteArray("x") << QByteArray("&code=ZZ") << QByteArray("id,device,");
}

// Cells a spreadsheet would run as formulas go out as text; a CR or a quote stays inside its
// cell; asked for CSV, the answer is CSV whatever it holds.
void tst_CloudStorage::csvCellsStayText()
{
    QFETCH(QByteArray, size);
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, cell);
    LocalCloudService service;
    QVERIFY(service.listen(0));
    const int device = service.addDevice(QJsonObject{{QStringLiteral("code"), QStringLiteral("AB1")}});
    const QByteArray record = "{\"device\":" + QByteArray::number(device) + ",\"page_size\":\"" + size + "\"}";
    QCOMPARE(statusOf(exchange(service.port(), request("POST", "/device_work_records", record))), 200);
    const QByteArray format = query.contains("format") ? QByteArray() : QByteArray("format=csv");
    const QByteArray csv = exchange(service.port(), request("GET", "/device_work_records?" + format + query));
    QCOMPARE(statusOf(csv), 200);
    QVERIFY2(csv.contains("Content-Type: text/csv"), csv.constData());
    QVERIFY2(csv.contains(cell), csv.constData());
}
