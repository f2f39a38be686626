#include "localcloudservice.h"

#include <QJsonDocument>
#include <QProcess>
#include <QTcpSocket>
#include <QtTest>

namespace {

// Sends raw bytes and collects what comes back until the service closes or goes quiet. The
// service runs on this thread, so the wait keeps the event loop going.
QByteArray exchange(quint16 port, const QByteArray& bytes, int quietMs = 200)
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
        if (!answer.isEmpty() && (socket.state() == QAbstractSocket::UnconnectedState || quiet.elapsed() > quietMs))
            break;
    }
    return answer;
}

QByteArray request(const QByteArray& verb, const QByteArray& target, const QByteArray& body = {})
{
    return verb + ' ' + target + " HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

int statusOf(const QByteArray& answer) { return answer.mid(9, 3).toInt(); }

} // namespace

class TestCloudService : public QObject
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
};

void TestCloudService::answersLikeTheCloud_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("field"); // checked to be present in the answer
    QTest::newRow("lookup found") << request("GET", "/device?code=AB%2B1") << 200 << "id";
    QTest::newRow("lookup missing") << request("GET", "/device?code=ZZ") << 404 << "detail";
    QTest::newRow("lookup without code") << request("GET", "/device") << 400 << "detail";
    QTest::newRow("update") << request("PUT", "/device", R"({"id":1,"online":true})") << 200 << "online";
    QTest::newRow("update unknown") << request("PUT", "/device", R"({"id":99})") << 404 << "detail";
    QTest::newRow("model found") << request("PATCH", "/device_model", R"({"code":77})") << 200 << "id";
    QTest::newRow("model missing") << request("PATCH", "/device_model", R"({"code":78})") << 404 << "detail";
    QTest::newRow("create") << request("POST", "/device_model", R"({"code":"NEW1"})") << 200 << "id";
    QTest::newRow("create existing") << request("POST", "/device_model", R"({"code":"AB+1"})") << 400 << "detail";
    QTest::newRow("work record") << request("POST", "/device_work_records", R"({"device":1})") << 200 << "id";
    QTest::newRow("work record, no device") << request("POST", "/device_work_records", R"({"device":5})") << 400 << "detail";
    QTest::newRow("work record, not JSON") << request("POST", "/device_work_records", "x") << 400 << "detail";
    QTest::newRow("wrong verb") << request("DELETE", "/device") << 405 << "detail";
    QTest::newRow("unknown resource") << request("GET", "/nothing") << 404 << "detail";
}

void TestCloudService::answersLikeTheCloud()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    QFETCH(QString, field);
    LocalCloudService service;
    QVERIFY(service.listen(0));
    QCOMPARE(service.addDevice(QJsonObject{{QStringLiteral("code"), QStringLiteral("AB+1")}}), 1);
    service.addDeviceModel(77);
    const QByteArray answer = exchange(service.port(), bytes);
    QCOMPARE(statusOf(answer), status);
    const QJsonObject body = QJsonDocument::fromJson(answer.mid(answer.indexOf("\r\n\r\n") + 4)).object();
    QVERIFY2(body.contains(field), answer.constData());
    QCOMPARE(service.requests().size(), 1);
}

void TestCloudService::refusesMalformedOrOversized_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");
    QTest::newRow("not HTTP") << QByteArray("HELLO\r\n\r\n") << 400;
    QTest::newRow("bad length") << QByteArray("POST /device HTTP/1.1\r\nContent-Length: -4\r\n\r\n") << 400;
    QTest::newRow("body too large")
        << ("POST /device HTTP/1.1\r\nContent-Length: " + QByteArray::number(LocalCloudService::MaxBodyBytes + 1) + "\r\n\r\n")
        << 413;
    QTest::newRow("header too large")
        << ("GET /device HTTP/1.1\r\nX: " + QByteArray(LocalCloudService::MaxHeaderBytes + 10, 'a')) << 431;
    QTest::newRow("chunked") << QByteArray("POST /device HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n") << 501;
}

void TestCloudService::refusesMalformedOrOversized()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    LocalCloudService service;
    QVERIFY(service.listen(0));
    QCOMPARE(statusOf(exchange(service.port(), bytes)), status);
    QVERIFY(service.requests().isEmpty());
}

void TestCloudService::keepAliveServesSeveralRequests()
{
    LocalCloudService service;
    QVERIFY(service.listen(0));
    const QByteArray answers = exchange(service.port(), request("GET", "/device?code=A") + request("GET", "/device?code=B"));
    QCOMPARE(answers.count("HTTP/1.1 404"), 2);
    QCOMPARE(service.requests().size(), 2);
    QCOMPARE(service.requests()[1].query.queryItemValue(QStringLiteral("code")), QStringLiteral("B"));
}

void TestCloudService::faultAppliesOnlyAsOftenAsAsked()
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

void TestCloudService::executablePrintsPortAndServes()
{
    const QString program = qEnvironmentVariable("KT_BUILD_BIN") + QStringLiteral("/ktrv8-cloud");
    if (!QFile::exists(program))
        QSKIP("ktrv8-cloud is not built");
    QProcess help;
    help.start(program, {QStringLiteral("--help")});
    QVERIFY(help.waitForFinished(5000));
    QVERIFY(help.readAllStandardOutput().contains("--port"));

    QProcess service;
    service.start(program, {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--model"), QStringLiteral("42")});
    QVERIFY(service.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(service.canReadLine(), 5000);
    const QByteArray first = service.readLine().trimmed();
    QVERIFY2(first.startsWith("port "), first.constData());
    const quint16 port = quint16(first.mid(5).toUInt());
    QVERIFY(port > 0);
    QCOMPARE(statusOf(exchange(port, request("PATCH", "/device_model", R"({"code":42})"))), 200);
    service.kill();
    QVERIFY(service.waitForFinished(5000));

    QProcess bad;
    bad.start(program, {QStringLiteral("--port"), QStringLiteral("70000")});
    QVERIFY(bad.waitForFinished(5000));
    QCOMPARE(bad.exitCode(), 2);
}

QTEST_GUILESS_MAIN(TestCloudService)
#include "tst_cloudservice.moc"
