#include "localcloudservice.h"
#include "postgresserver.h"
#include "sqlstore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTcpSocket>
#include <QWebSocket>
#include <QtTest>

namespace {

// How many whole answers (head and Content-Length body) the bytes hold.
int completeAnswers(const QByteArray& bytes)
{
    int count = 0;
    for (int at = 0;; ++count) {
        const int headEnd = bytes.indexOf("\r\n\r\n", at);
        if (headEnd < 0)
            return count;
        const int length = bytes.indexOf("Content-Length: ", at);
        const int bodyLength =
            length < 0 || length > headEnd ? 0 : bytes.mid(length + 16, 12).split('\r').first().toInt();
        if (bytes.size() < headEnd + 4 + bodyLength)
            return count;
        at = headEnd + 4 + bodyLength;
    }
}

// Sends raw bytes and collects what comes back until the expected answers are complete, or
// the service closes or goes quiet. The service runs on this thread, so the wait keeps the
// event loop going.
QByteArray exchange(quint16 port, const QByteArray& bytes, int answers = 1, int quietMs = 200)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(bytes);
    QByteArray answer;
    QDeadlineTimer deadline(5000);
    QElapsedTimer quiet;
    quiet.start();
    while (!deadline.hasExpired()) {
        QTest::qWait(10);
        const QByteArray more = socket.readAll();
        if (!more.isEmpty()) {
            answer += more;
            quiet.restart();
        }
        if (!answer.isEmpty()
            && (socket.state() == QAbstractSocket::UnconnectedState || quiet.elapsed() > quietMs
                || completeAnswers(answer) >= answers))
            break;
    }
    return answer;
}

QByteArray request(const QByteArray& verb, const QByteArray& target, const QByteArray& body = {},
                   const QByteArray& token = {})
{
    const QByteArray auth = token.isEmpty() ? QByteArray() : "Authorization: Bearer " + token + "\r\n";
    return verb + ' ' + target + " HTTP/1.1\r\nHost: x\r\n" + auth
           + "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

int statusOf(const QByteArray& answer)
{
    return answer.mid(9, 3).toInt();
}

QJsonDocument bodyOf(const QByteArray& answer)
{
    return QJsonDocument::fromJson(answer.mid(answer.indexOf("\r\n\r\n") + 4));
}

const QByteArray Token = "s3cret";

QByteArray workRecord(int device, const QByteArray& endTime, int copies)
{
    return "{\"device\":" + QByteArray::number(device) + ",\"end_time\":\"" + endTime
           + "\",\"task_copies\":" + QByteArray::number(copies) + ",\"finish_copies\":" + QByteArray::number(copies)
           + ",\"page_area\":1200,\"page_size\":\"30x40\",\"path_length\":555}";
}

QByteArray firstLineStarting(QProcess& process, const QByteArray& prefix)
{
    for (QDeadlineTimer deadline(10000); !deadline.hasExpired();) {
        if (!process.canReadLine() && !process.waitForReadyRead(200))
            continue;
        const QByteArray line = process.readLine().trimmed();
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    }
    return {};
}

} // namespace

class tst_CloudService : public QObject
{
    Q_OBJECT
private slots:
    void answersLikeTheCloud_data();
    void answersLikeTheCloud();
    void refusesMalformedOrOversized_data();
    void refusesMalformedOrOversized();
    void keepAliveServesSeveralRequests();
    void faultAppliesOnlyAsOftenAsAsked();
    void executablePrintsPortAndServes();
    void tokenGuardsEveryResource_data();
    void tokenGuardsEveryResource();
    void channelsWantTheToken();
    void pageFeedFollowsTheDevices();
    void storageKeepsRecords_data();
    void storageKeepsRecords();
    void olderSchemaIsMigrated();
    void executableKeepsRecordsAfterKill();
    void cleanupTestCase();

private:
    QString databaseFor(const QString& engine, const QString& name);

    QTemporaryDir files;
    PostgresServer postgres;
    bool postgresTried = false;
};

void tst_CloudService::answersLikeTheCloud_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("field"); // checked to be present in the answer
    QTest::newRow("lookup found") << request("GET", "/device?code=AB%2B1") << 200 << "id";
    QTest::newRow("lookup missing") << request("GET", "/device?code=ZZ") << 404 << "detail";
    QTest::newRow("lookup, empty code") << request("GET", "/device?code=") << 400 << "detail";
    QTest::newRow("device list") << request("GET", "/device") << 200 << "[online";
    QTest::newRow("update") << request("PUT", "/device", R"({"id":1,"online":true})") << 200 << "online";
    QTest::newRow("update unknown") << request("PUT", "/device", R"({"id":99})") << 404 << "detail";
    QTest::newRow("model found") << request("PATCH", "/device_model", R"({"code":77})") << 200 << "id";
    QTest::newRow("model missing") << request("PATCH", "/device_model", R"({"code":78})") << 404 << "detail";
    QTest::newRow("create") << request("POST", "/device_model", R"({"code":"NEW1"})") << 200 << "id";
    QTest::newRow("create existing") << request("POST", "/device_model", R"({"code":"AB+1"})") << 400 << "detail";
    QTest::newRow("work record") << request("POST", "/device_work_records", R"({"device":1})") << 200 << "id";
    QTest::newRow("work record, no device")
        << request("POST", "/device_work_records", R"({"device":5})") << 400 << "detail";
    QTest::newRow("work record, not JSON") << request("POST", "/device_work_records", "x") << 400 << "detail";
    QTest::newRow("work record, wrong type")
        << request("POST", "/device_work_records", R"({"device":1,"task_copies":"2"})") << 400 << "detail";
    QTest::newRow("work record, a list") << request("POST", "/device_work_records", "[1]") << 400 << "detail";
    QTest::newRow("update, malformed") << request("PUT", "/device", R"({"id":1,)") << 400 << "detail";
    QTest::newRow("update, wrong type") << request("PUT", "/device", R"({"id":1,"online":"yes"})") << 400 << "detail";
    QTest::newRow("create, wrong type") << request("POST", "/device_model", R"({"code":"N2","pcb":7})") << 400
                                        << "detail";
    QTest::newRow("records") << request("GET", "/device_work_records?device=1&from=2026-01-01") << 200 << "[";
    QTest::newRow("records, bad time") << request("GET", "/device_work_records?from=yesterday") << 400 << "detail";
    QTest::newRow("records, bad device") << request("GET", "/device_work_records?device=x") << 400 << "detail";
    QTest::newRow("page") << request("GET", "/") << 200 << "";
    QTest::newRow("wrong verb") << request("DELETE", "/device") << 405 << "detail";
    QTest::newRow("unknown resource") << request("GET", "/nothing") << 404 << "detail";
}

void tst_CloudService::answersLikeTheCloud()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    QFETCH(QString, field);
    LocalCloudService service;
    QVERIFY(service.listen(0));
    QCOMPARE(service.addDevice(QJsonObject{{QStringLiteral("code"), QStringLiteral("AB+1")}}), 1);
    service.addDeviceModel(77);
    const QJsonObject before = service.device(1);
    const QByteArray answer = exchange(service.port(), bytes);
    QCOMPARE(statusOf(answer), status);
    // "[key": a list whose entries have key; empty: not JSON (the page).
    const QJsonDocument body = bodyOf(answer);
    if (field.startsWith(QLatin1Char('['))) {
        QVERIFY2(body.isArray(), answer.constData());
        QVERIFY(field.size() == 1 || body.array().first().toObject().contains(field.mid(1)));
    } else if (!field.isEmpty()) {
        QVERIFY2(body.object().contains(field), answer.constData());
    }
    QCOMPARE(service.requests().size(), 1);
    if (status >= 400) { // a refused request stores nothing
        QCOMPARE(service.device(1), before);
        QCOMPARE(service.deviceCount(), 1);
        QVERIFY(service.workRecords().isEmpty());
    }
}

void tst_CloudService::refusesMalformedOrOversized_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");
    QTest::newRow("not HTTP") << QByteArray("HELLO\r\n\r\n") << 400;
    QTest::newRow("bad length") << QByteArray("POST /device HTTP/1.1\r\nContent-Length: -4\r\n\r\n") << 400;
    QTest::newRow("body too large") << ("POST /device HTTP/1.1\r\nContent-Length: "
                                        + QByteArray::number(LocalCloudService::MaxBodyBytes + 1) + "\r\n\r\n")
                                    << 413;
    QTest::newRow("header too large") << ("GET /device HTTP/1.1\r\nX: "
                                          + QByteArray(LocalCloudService::MaxHeaderBytes + 10, 'a'))
                                      << 431;
    QTest::newRow("chunked") << QByteArray("POST /device HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n")
                             << 501;
}

void tst_CloudService::refusesMalformedOrOversized()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    LocalCloudService service;
    QVERIFY(service.listen(0));
    QCOMPARE(statusOf(exchange(service.port(), bytes)), status);
    QVERIFY(service.requests().isEmpty());
}

void tst_CloudService::keepAliveServesSeveralRequests()
{
    LocalCloudService service;
    QVERIFY(service.listen(0));
    const QByteArray answers =
        exchange(service.port(), request("GET", "/device?code=A") + request("GET", "/device?code=B"), 2);
    QCOMPARE(answers.count("HTTP/1.1 404"), 2);
    QCOMPARE(service.requests().size(), 2);
    QCOMPARE(service.requests()[1].query.queryItemValue(QStringLiteral("code")), QStringLiteral("B"));
}

void tst_CloudService::faultAppliesOnlyAsOftenAsAsked()
{
    LocalCloudService service;
    QVERIFY(service.listen(0));
    LocalCloudService::Fault fault;
    fault.status = 503;
    fault.times = 2;
    service.setFault(QStringLiteral("device"), fault);
    QList<int> seen;
    for (int i = 0; i < 3; ++i)
        seen << statusOf(exchange(service.port(), request("GET", "/device?code=A")));
    QCOMPARE(seen, (QList<int>{503, 503, 404}));
}

void tst_CloudService::executablePrintsPortAndServes()
{
    const QString program = qEnvironmentVariable("KT_BUILD_BIN") + QStringLiteral("/ktrv8-cloud");
    if (!QFile::exists(program))
        QSKIP("ktrv8-cloud is not built");
    QProcess help;
    help.start(program, {QStringLiteral("--help")});
    QVERIFY(help.waitForFinished(5000));
    QVERIFY(help.readAllStandardOutput().contains("--port"));

    QProcess service;
    service.start(program, {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--model"),
                            QStringLiteral("42"), QStringLiteral("--memory")});
    QVERIFY(service.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(service.canReadLine(), 5000);
    const QByteArray first = service.readLine().trimmed();
    QVERIFY2(first.startsWith("port "), first.constData());
    const quint16 port = quint16(first.mid(5).toUInt());
    QVERIFY(port > 0);
    const QByteArray token = firstLineStarting(service, "token "); // generated when not given
    QVERIFY(token.size() >= 20);
    QCOMPARE(statusOf(exchange(port, request("PATCH", "/device_model", R"({"code":42})"))), 401);
    QCOMPARE(statusOf(exchange(port, request("PATCH", "/device_model", R"({"code":42})", token))), 200);
    service.kill();
    QVERIFY(service.waitForFinished(5000));

    QProcess bad;
    bad.start(program, {QStringLiteral("--port"), QStringLiteral("70000")});
    QVERIFY(bad.waitForFinished(5000));
    QCOMPARE(bad.exitCode(), 2);
}

void tst_CloudService::tokenGuardsEveryResource_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");
    const QByteArray none;
    const QByteArray wrong = "guess";
    QTest::newRow("list, no token") << request("GET", "/device", {}, none) << 401;
    QTest::newRow("lookup, wrong token") << request("GET", "/device?code=AB1", {}, wrong) << 401;
    QTest::newRow("create, no token") << request("POST", "/device_model", R"({"code":"NEW1"})", none) << 401;
    QTest::newRow("update, wrong token") << request("PUT", "/device", R"({"id":1,"pcb":"x"})", wrong) << 401;
    QTest::newRow("record, no token") << request("POST", "/device_work_records",
                                                 workRecord(1, "2026-12-01 10:00:00", 1), none)
                                      << 401;
    QTest::newRow("records, wrong token") << request("GET", "/device_work_records", {}, wrong) << 401;
    QTest::newRow("record, right token") << request("POST", "/device_work_records",
                                                    workRecord(1, "2026-12-01 10:00:00", 1), Token)
                                         << 200;
    QTest::newRow("page, no token") << request("GET", "/page.js", {}, none) << 200;
}

void tst_CloudService::tokenGuardsEveryResource()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    LocalCloudService service;
    service.setToken(Token);
    QVERIFY(service.listen(0));
    service.addDevice(QJsonObject{{QStringLiteral("code"), QStringLiteral("AB1")}});
    const QJsonObject before = service.device(1);
    const QByteArray answer = exchange(service.port(), bytes);
    QCOMPARE(statusOf(answer), status);
    if (status == 401) {
        QVERIFY(answer.contains("WWW-Authenticate: Bearer"));
        QVERIFY(bodyOf(answer).object().contains(QStringLiteral("detail")));
        QCOMPARE(service.deviceCount(), 1);
        QCOMPARE(service.device(1), before);
        QVERIFY(service.workRecords().isEmpty());
    }
}

void tst_CloudService::channelsWantTheToken()
{
    LocalCloudService service;
    service.setToken(Token);
    QVERIFY(service.listen(0));
    QVERIFY(service.wsBase().endsWith(QStringLiteral("/s3cret/")));
    const QString plain = QStringLiteral("ws://127.0.0.1:%1/").arg(service.port());
    QWebSocket without, with, feed;
    QSignalSpy withoutClosed(&without, &QWebSocket::disconnected);
    QSignalSpy feedClosed(&feed, &QWebSocket::disconnected);
    without.open(QUrl(plain + QStringLiteral("AB1/Device/")));
    with.open(QUrl(service.wsBase() + QStringLiteral("AB1/Device/")));
    QTRY_COMPARE_WITH_TIMEOUT(service.connectedDevices(), QStringList{QStringLiteral("AB1")}, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(withoutClosed.count(), 1, 5000);
    connect(&feed, &QWebSocket::connected, &feed,
            [&feed] { feed.sendTextMessage(QStringLiteral(R"({"token":"guess"})")); });
    feed.open(QUrl(plain + QStringLiteral("live")));
    QVERIFY(feedClosed.wait(5000));
    QCOMPARE(service.connectedDevices(), QStringList{QStringLiteral("AB1")});
}

// What a page sees: a snapshot, then the device's task state as the device sends it, and the
// device list with the channel's state and the task.
void tst_CloudService::pageFeedFollowsTheDevices()
{
    LocalCloudService service;
    service.setToken(Token);
    QVERIFY(service.listen(0));
    service.addDevice(QJsonObject{{QStringLiteral("code"), QStringLiteral("AB1")}});
    QWebSocket page, device;
    QSignalSpy events(&page, &QWebSocket::textMessageReceived);
    connect(&page, &QWebSocket::connected, &page,
            [&page] { page.sendTextMessage(QStringLiteral(R"({"token":"s3cret"})")); });
    page.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/live").arg(service.port())));
    QVERIFY(events.wait(5000));
    QCOMPARE(QJsonDocument::fromJson(events.takeFirst().at(0).toByteArray()).object().value(QStringLiteral("type")),
             QJsonValue(QStringLiteral("snapshot")));

    device.open(QUrl(service.wsBase() + QStringLiteral("AB1/Device/")));
    QTRY_COMPARE_WITH_TIMEOUT(service.connectedDevices().size(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(device.state(), QAbstractSocket::ConnectedState, 5000); // else the text is dropped
    device.sendTextMessage(QStringLiteral(
        R"({"actions":["Runtime"],"message":{"Runtime":{"FileName":"a.plt",)"
        R"("Finished":1,"Percent":50,"Status":1,"TaskCopies":2,"FilePreview":"QUJD"}},"sender":"Device"})"));
    QJsonObject task;
    QTRY_VERIFY_WITH_TIMEOUT(!events.isEmpty()
                                 && !(task = QJsonDocument::fromJson(events.last().at(0).toByteArray())
                                                 .object()
                                                 .value(QStringLiteral("task"))
                                                 .toObject())
                                         .isEmpty(),
                             5000);
    QCOMPARE(task.value(QStringLiteral("Percent")).toInt(), 50);
    QVERIFY(!task.contains(QStringLiteral("FilePreview")));

    const QJsonObject listed =
        bodyOf(exchange(service.port(), request("GET", "/device", {}, Token))).array().first().toObject();
    QCOMPARE(listed.value(QStringLiteral("online")), QJsonValue(true));
    QCOMPARE(listed.value(QStringLiteral("task")).toObject(), task);
    QVERIFY(!listed.value(QStringLiteral("last_seen")).toString().isEmpty());
}

QString tst_CloudService::databaseFor(const QString& engine, const QString& name)
{
    if (engine == QLatin1String("sqlite"))
        return files.filePath(name + QStringLiteral(".sqlite"));
    if (!postgresTried) {
        postgresTried = true;
        postgres.start();
    }
    return postgres.whyNot.isEmpty() ? postgres.createDatabase(name) : QString();
}

void tst_CloudService::storageKeepsRecords_data()
{
    QTest::addColumn<QString>("engine");
    QTest::newRow("sqlite") << "sqlite";
    QTest::newRow("postgresql") << "postgresql";
}

// Registration and records over HTTP, read back filtered, and again from a new service on
// the same database.
void tst_CloudService::storageKeepsRecords()
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

void tst_CloudService::olderSchemaIsMigrated()
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
void tst_CloudService::executableKeepsRecordsAfterKill()
{
    const QString program = qEnvironmentVariable("KT_BUILD_BIN") + QStringLiteral("/ktrv8-cloud");
    if (!QFile::exists(program))
        QSKIP("ktrv8-cloud is not built");
    const QStringList arguments{QStringLiteral("--db"), files.filePath(QStringLiteral("killed.sqlite")),
                                QStringLiteral("--token"), QString::fromLatin1(Token)};
    QProcess service;
    service.start(program, arguments);
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

void tst_CloudService::cleanupTestCase()
{
    postgres.stop();
}

QTEST_GUILESS_MAIN(tst_CloudService)
#include "tst_cloudservice.moc"
