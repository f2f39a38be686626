#include "cloudtestsupport.h"
#include "localcloudservice.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTcpSocket>
#include <QWebSocket>
#include <QtTest>

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
    void framingAndAccess_data();
    void framingAndAccess();
    void handshakeInTwoPacketsOpensTheChannel();
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
    service.start(program,
                  {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--model"), QStringLiteral("42"),
                   QStringLiteral("--memory"), QStringLiteral("--token"), QString::fromLatin1(Token)});
    QVERIFY(service.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(service.canReadLine(), 5000);
    const QByteArray first = service.readLine().trimmed();
    QVERIFY2(first.startsWith("port "), first.constData());
    const quint16 port = quint16(first.mid(5).toUInt());
    QVERIFY(port > 0);
    const QByteArray token = Token; // a token made on first start: tst_FleetGuard
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

void tst_CloudService::framingAndAccess_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("inAnswer"); // a header line or a part of the body
    QTest::addColumn<int>("kept");            // requests the service kept
    const QByteArray auth = "Authorization: Bearer " + Token + "\r\n";
    QTest::newRow("conflicting lengths") << ("POST /device_work_records HTTP/1.1\r\n" + auth
                                             + "Content-Length: 2\r\nContent-Length: 40\r\n\r\n{}")
                                         << 400 << QByteArray() << 0;
    QTest::newRow("scheme in lower case")
        << QByteArray("GET /device HTTP/1.1\r\nauthorization: bearer s3cret\r\n\r\n") << 200 << QByteArray() << 1;
    QTest::newRow("no token, big body unread")
        << QByteArray("POST /device_work_records HTTP/1.1\r\nContent-Length: 900000\r\n\r\n{") << 401
        << QByteArray("WWW-Authenticate: Bearer") << 0;
    QTest::newRow("token as a prefix") << request("GET", "/device", {}, Token + "x") << 401 << QByteArray() << 0;
    QTest::newRow("HEAD of the page") << QByteArray("HEAD / HTTP/1.1\r\n\r\n") << 200
                                      << QByteArray("X-Frame-Options: DENY") << 1;
    QTest::newRow("405 names the methods")
        << request("DELETE", "/device_work_records", {}, Token) << 405 << QByteArray("Allow: GET, HEAD, POST") << 1;
    QTest::newRow("negative count") << request("POST", "/device_work_records", R"({"device":1,"task_copies":-2})",
                                               Token)
                                    << 400 << QByteArray("task_copies") << 1;
    QTest::newRow("more finished than ordered")
        << request("POST", "/device_work_records", R"({"device":1,"task_copies":1,"finish_copies":3})", Token) << 400
        << QByteArray("finish_copies") << 1;
    QTest::newRow("end time no date") << request("POST", "/device_work_records", R"({"device":1,"end_time":"soon"})",
                                                 Token)
                                      << 400 << QByteArray("end_time") << 1;
    // Sizes bounded, the field named; safety headers on every answer, refusals too.
    const auto post = [](const QByteArray& body) { return request("POST", "/device_work_records", body, Token); };
    QTest::newRow("count past an integer")
        << post(R"({"device":1,"task_copies":1e12})") << 400 << QByteArray("task_copies") << 1;
    QTest::newRow("nested extra field") << post(R"({"device":1,"extra":{"a":[1]}})") << 400 << QByteArray("extra") << 1;
    QTest::newRow("a refusal is not framed")
        << request("GET", "/device", {}, "guess") << 401 << QByteArray("frame-ancestors 'none'") << 0;
    QTest::newRow("JSON is not framed") << request("GET", "/device", {}, Token) << 200
                                        << QByteArray("X-Frame-Options: DENY") << 1;
}

void tst_CloudService::framingAndAccess()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    QFETCH(QByteArray, inAnswer);
    QFETCH(int, kept);
    LocalCloudService service;
    service.setToken(Token);
    QVERIFY(service.listen(0));
    service.addDevice(QJsonObject{{QStringLiteral("code"), QStringLiteral("AB1")}});
    const QByteArray answer = exchange(service.port(), bytes);
    QCOMPARE(statusOf(answer), status);
    QVERIFY2(answer.contains(inAnswer), answer.constData());
    QCOMPARE(service.requests().size(), kept);
    QVERIFY(service.workRecords().isEmpty());
    if (bytes.startsWith("HEAD")) {
        QVERIFY(answer.endsWith("\r\n\r\n")); // the length of the page, none of its bytes
        QVERIFY(!answer.contains("Content-Length: 0\r\n"));
    }
}

// A handshake that arrives in two packets is still a handshake, not a plain request.
void tst_CloudService::handshakeInTwoPacketsOpensTheChannel()
{
    LocalCloudService service;
    QVERIFY(service.listen(0));
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, service.port());
    QVERIFY(socket.waitForConnected(5000));
    socket.write("GET /AB1/Device/ HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n");
    QVERIFY(socket.waitForBytesWritten(5000));
    QTRY_COMPARE_WITH_TIMEOUT(service.openConnections(), 1, 5000);
    socket.write("Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                 "Sec-WebSocket-Version: 13\r\n\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(socket.peek(12) == "HTTP/1.1 101", 5000);
    QTRY_COMPARE_WITH_TIMEOUT(service.connectedDevices(), QStringList{QStringLiteral("AB1")}, 5000);
    QCOMPARE(service.openConnections(), 0); // the channel is no HTTP connection any more
}

// The other classes share the helpers and the program; one executable runs them all.
int runCloudStorageTests(int argc, char* argv[]);
int runServiceLimitsTests(int argc, char* argv[]);

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    tst_CloudService service;
    const int failed = QTest::qExec(&service, argc, argv);
    return failed + runServiceLimitsTests(argc, argv) + runCloudStorageTests(argc, argv);
}
#include "tst_cloudservice.moc"
