// The fleet service's secrets and what it lets out: the token file, the database password,
// the cutters' own tokens, the log and the safety headers, through the real program.
#include "cloudtestsupport.h"
#include "localcloudservice.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWebSocket>
#include <QtTest>

namespace {

const QString Program = qEnvironmentVariable("KT_BUILD_BIN") + QStringLiteral("/ktrv8-cloud");
const QByteArray Secret = "hunter2-not-for-logs";

bool writeFile(const QString& name, const QByteArray& bytes, QFileDevice::Permissions permissions)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.setPermissions(permissions);
}

const QFileDevice::Permissions Private = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
const QFileDevice::Permissions Shared = Private | QFileDevice::ReadGroup | QFileDevice::ReadOther;

} // namespace

class tst_FleetGuard : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void tokenFileIsMadeOnceAndKept();
    void serviceStateFolderHoldsEverything();
    void secretsAreRefusedOrHidden_data();
    void secretsAreRefusedOrHidden();
    void deviceTokenActsOnlyAsItsDevice_data();
    void deviceTokenActsOnlyAsItsDevice();
    void logQuotesClientText();
    void recordsAreBoundedAndAnswersGuarded_data();
    void recordsAreBoundedAndAnswersGuarded();
    void pageShows_data();
    void pageShows();

private:
    QByteArray pageWithTwoCutters();

    QTemporaryDir dir;
    QByteArray pageDom;
};

void tst_FleetGuard::initTestCase()
{
    if (!QFile::exists(Program))
        QSKIP("ktrv8-cloud is not built");
}

// Made 0600 on the first start, read on the next: cutters and bookmarks keep working. The
// program prints it only masked.
void tst_FleetGuard::tokenFileIsMadeOnceAndKept()
{
    const QString file = dir.filePath(QStringLiteral("state/token"));
    QByteArray first;
    for (int start = 0; start < 2; ++start) {
        QProcess service;
        service.start(Program, {"--port", "0", "--memory", "--token-file", file});
        const quint16 port = quint16(firstLineStarting(service, "port ").toUInt());
        QVERIFY(port > 0);
        const QByteArray printed = firstLineStarting(service, "page ") + service.readAll();
        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray token = in.readAll().trimmed();
        QVERIFY(token.size() >= 40);
        QCOMPARE(QFileInfo(file).permissions() & 0x0077, QFileDevice::Permissions());
        QVERIFY2(!printed.contains(token), printed.constData());
        QCOMPARE(statusOf(exchange(port, request("GET", "/device", {}, token))), 200);
        if (start == 0)
            first = token;
        QCOMPARE(token, first);
        service.kill();
        QVERIFY(service.waitForFinished(5000));
    }
}

// As the systemd unit starts it: no paths given, STATE_DIRECTORY set. The token and the
// database land there, private; nothing goes to the user's own folders.
void tst_FleetGuard::serviceStateFolderHoldsEverything()
{
    const QString state = dir.filePath(QStringLiteral("var-lib"));
    QVERIFY(QDir().mkpath(state));
    QProcess service;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("STATE_DIRECTORY"), state);
    environment.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
    service.setProcessEnvironment(environment);
    service.start(Program, {"--port", "0"});
    QVERIFY(firstLineStarting(service, "port ").toUInt() > 0);
    service.kill();
    QVERIFY(service.waitForFinished(5000));
    for (const QString& name : {QStringLiteral("token"), QStringLiteral("fleet.sqlite")}) {
        const QFileInfo file(QDir(state).filePath(name));
        QVERIFY2(file.exists(), qPrintable(name));
        QCOMPARE(file.permissions() & 0x0077, QFileDevice::Permissions());
    }
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("home"))));
}

void tst_FleetGuard::secretsAreRefusedOrHidden_data()
{
    QTest::addColumn<QStringList>("arguments"); // FILE: a file holding the secret
    QTest::addColumn<int>("permissions");
    QTest::addColumn<bool>("inEnvironment");
    QTest::addColumn<QByteArray>("said");
    // Port 1 on loopback: nothing answers, so the program stops after naming the database.
    const QStringList postgres{"--db", "postgresql://fleet@127.0.0.1:1/fleet", "--token", "t"};
    QTest::newRow("token file others may read")
        << QStringList{"--memory", "--token-file", "FILE"} << int(Shared) << false << QByteArray("chmod 600");
    QTest::newRow("password file others may read")
        << postgres + QStringList{"--db-password-file", "FILE"} << int(Shared) << false << QByteArray("chmod 600");
    QTest::newRow("password from a file")
        << postgres + QStringList{"--db-password-file", "FILE"} << int(Private) << false << QByteArray("127.0.0.1");
    QTest::newRow("password from the environment") << postgres << int(Private) << true << QByteArray("127.0.0.1");
}

void tst_FleetGuard::secretsAreRefusedOrHidden()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, permissions);
    QFETCH(bool, inEnvironment);
    QFETCH(QByteArray, said);
    const QString file = dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(writeFile(file, Secret + "\n", QFileDevice::Permissions(permissions)));
    arguments.replaceInStrings(QStringLiteral("FILE"), file);
    QProcess service;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (inEnvironment)
        environment.insert(QStringLiteral("KTRV8_CLOUD_DB_PASSWORD"), QString::fromLatin1(Secret));
    service.setProcessEnvironment(environment);
    service.start(Program, arguments + QStringList{"--port", "0"});
    QVERIFY(service.waitForFinished(20000));
    const QByteArray output = service.readAllStandardOutput() + service.readAllStandardError();
    QCOMPARE(service.exitCode(), 1);
    QVERIFY2(output.contains(said) && !output.contains(Secret.left(8)), output.constData());
}

void tst_FleetGuard::deviceTokenActsOnlyAsItsDevice_data()
{
    QTest::addColumn<QByteArray>("verb");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("body"); // OWN, OTHER: the two devices' ids
    QTest::addColumn<int>("status");
    QTest::newRow("own lookup") << QByteArray("GET") << QByteArray("/device?code=AB1") << QByteArray() << 200;
    QTest::newRow("other's lookup") << QByteArray("GET") << QByteArray("/device?code=CD2") << QByteArray() << 403;
    QTest::newRow("device list") << QByteArray("GET") << QByteArray("/device") << QByteArray() << 403;
    QTest::newRow("model lookup") << QByteArray("PATCH") << QByteArray("/device_model") << QByteArray(R"({"code":7})")
                                  << 404;
    QTest::newRow("own record") << QByteArray("POST") << QByteArray("/device_work_records")
                                << workRecord(1, "2026-12-01 10:00:00", 1).replace("1,", "OWN,") << 200;
    QTest::newRow("other's record") << QByteArray("POST") << QByteArray("/device_work_records")
                                    << workRecord(1, "2026-12-01 10:00:00", 1).replace("1,", "OTHER,") << 403;
    QTest::newRow("record list") << QByteArray("GET") << QByteArray("/device_work_records") << QByteArray() << 403;
    QTest::newRow("creating another") << QByteArray("POST") << QByteArray("/device_model")
                                      << QByteArray(R"({"code":"EF3"})") << 403;
    QTest::newRow("updating another") << QByteArray("PUT") << QByteArray("/device")
                                      << QByteArray(R"({"id":OTHER,"pcb":"x"})") << 403;
    QTest::newRow("taking another's code")
        << QByteArray("PUT") << QByteArray("/device") << QByteArray(R"({"id":OWN,"code":"EF3"})") << 403;
    QTest::newRow("updating itself") << QByteArray("PUT") << QByteArray("/device")
                                     << QByteArray(R"({"id":OWN,"pcb":"x"})") << 200;
}

// "device add" prints a token that the running service takes at once, as that cutter only:
// its requests and its channel, nobody else's.
void tst_FleetGuard::deviceTokenActsOnlyAsItsDevice()
{
    QFETCH(QByteArray, verb);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QTemporaryDir state;
    LocalCloudService service;
    service.setToken(Token);
    service.setDeviceTokens(state.filePath(QStringLiteral("device-tokens")));
    QVERIFY(service.listen(0));
    const int own = service.addDevice(QJsonObject{{QStringLiteral("code"), QStringLiteral("AB1")}});
    const int other = service.addDevice(QJsonObject{{QStringLiteral("code"), QStringLiteral("CD2")}});
    QProcess add;
    add.start(Program, {"device", "add", "AB1", "--token-file", state.filePath(QStringLiteral("token"))});
    QVERIFY(add.waitForFinished(10000));
    QCOMPARE(add.exitCode(), 0);
    const QByteArray token = add.readAllStandardOutput().trimmed();
    QFile kept(state.filePath(QStringLiteral("device-tokens")));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QVERIFY(token.size() >= 40 && !kept.readAll().contains(token));
    QCOMPARE(kept.permissions() & 0x0077, QFileDevice::Permissions());

    body.replace("OWN", QByteArray::number(own)).replace("OTHER", QByteArray::number(other));
    const QByteArray answer = exchange(service.port(), request(verb, target, body, token));
    QVERIFY2(statusOf(answer) == status, answer.constData());
    QCOMPARE(statusOf(exchange(service.port(), request(verb, target, body, token + "x"))), 401);
    QCOMPARE(service.workRecords().size(), QTest::currentDataTag() == QByteArray("own record") ? 1 : 0);

    QWebSocket mine, theirs;
    QSignalSpy refused(&theirs, &QWebSocket::disconnected);
    const QString base = QStringLiteral("ws://127.0.0.1:%1/%2/").arg(service.port()).arg(QString::fromLatin1(token));
    mine.open(QUrl(base + QStringLiteral("AB1/Device/")));
    theirs.open(QUrl(base + QStringLiteral("CD2/Device/")));
    QVERIFY(refused.wait(5000));
    QTRY_COMPARE_WITH_TIMEOUT(service.connectedDevices(), QStringList{QStringLiteral("AB1")}, 5000);
}

// A request path and a channel text that try to forge a log line or drive the terminal are
// logged quoted, their control characters escaped.
void tst_FleetGuard::logQuotesClientText()
{
    QProcess service;
    service.start(Program, {"--port", "0", "--memory", "--token", QString::fromLatin1(Token)});
    const quint16 port = quint16(firstLineStarting(service, "port ").toUInt());
    QVERIFY(port > 0);
    firstLineStarting(service, "page ");
    exchange(port, request("GET", "/x%0A200%20GET%20%2Fforged%1B%5B2J", {}, Token));
    QWebSocket device;
    device.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/%2/AB1/Device/").arg(port).arg(QString::fromLatin1(Token))));
    QTRY_COMPARE_WITH_TIMEOUT(device.state(), QAbstractSocket::ConnectedState, 5000);
    device.sendTextMessage(QStringLiteral("hello\n404 GET \"/forged\"\x1b[31m"));
    QByteArray log;
    QTRY_VERIFY_WITH_TIMEOUT((log += service.readAllStandardOutput()).contains("channel \"AB1\" \"hello"), 5000);
    QVERIFY2(!log.contains('\x1b') && !log.contains("\n200 GET") && !log.contains("\n404 GET"), log.constData());
    QVERIFY2(log.contains("404 GET \"/x\\x0a200 GET /forged\\x1b[2J\"\n"), log.constData());
    service.kill();
    QVERIFY(service.waitForFinished(5000));
}

void tst_FleetGuard::recordsAreBoundedAndAnswersGuarded_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("inAnswer"); // a header line or the field named
    const QByteArray records = "/device_work_records";
    const auto post = [](const QByteArray& target, const QByteArray& body) {
        return request("POST", target, body, Token);
    };
    QTest::newRow("code too long") << post("/device_model", R"({"code":")" + QByteArray(65, 'A') + "\"}") << 400
                                   << QByteArray("\\\"code\\\"");
    QTest::newRow("page size too long") << post(records, R"({"device":1,"page_size":")" + QByteArray(49, '9') + "\"}")
                                        << 400 << QByteArray("page_size");
    QTest::newRow("count past an integer")
        << post(records, R"({"device":1,"task_copies":1e12})") << 400 << QByteArray("task_copies");
    QTest::newRow("file name too long") << post(records, R"({"device":1,"file_name":")" + QByteArray(300, 'f') + "\"}")
                                        << 400 << QByteArray("file_name");
    QTest::newRow("nested extra field") << post(records, R"({"device":1,"extra":{"a":[1]}})") << 400
                                        << QByteArray("extra");
    QByteArray many = "{\"device\":1";
    for (int i = 0; i < 70; ++i)
        many += ",\"f" + QByteArray::number(i) + "\":1";
    QTest::newRow("too many fields") << post(records, many + '}') << 400 << QByteArray("fields");
    QTest::newRow("a refusal cannot be framed")
        << request("GET", "/device", {}, "guess") << 401 << QByteArray("frame-ancestors 'none'");
    QTest::newRow("JSON is not sniffed") << request("GET", "/nothing", {}, Token) << 404
                                         << QByteArray("X-Content-Type-Options: nosniff");
    QTest::newRow("JSON cannot be framed")
        << request("GET", "/device", {}, Token) << 200 << QByteArray("X-Frame-Options: DENY");
    QTest::newRow("CSV in capitals") << request("GET", records + "?format=CSV", {}, Token) << 200
                                     << QByteArray("Content-Type: text/csv");
}

// Nothing of unbounded size is stored; every answer, refusals too, keeps a browser from
// framing it, guessing its type or running script from elsewhere.
void tst_FleetGuard::recordsAreBoundedAndAnswersGuarded()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    QFETCH(QByteArray, inAnswer);
    LocalCloudService service;
    service.setToken(Token);
    QVERIFY(service.listen(0));
    service.addDevice(QJsonObject{{QStringLiteral("code"), QStringLiteral("AB1")}});
    const QByteArray answer = exchange(service.port(), bytes);
    QCOMPARE(statusOf(answer), status);
    QVERIFY2(answer.contains(inAnswer), answer.constData());
    QVERIFY(service.workRecords().isEmpty());
    QCOMPARE(service.deviceCount(), 1);
}

// The page as a browser shows it, once: two cutters with their channels open, one idle and one
// whose task state is odd (no copies while cutting), and two work records of the idle one.
QByteArray tst_FleetGuard::pageWithTwoCutters()
{
    QProcess service;
    service.start(Program, {"--port", "0", "--memory", "--token", QString::fromLatin1(Token)});
    const quint16 port = quint16(firstLineStarting(service, "port ").toUInt());
    if (port == 0)
        return "no service";
    for (const QByteArray& code : {QByteArray("AB1"), QByteArray("CD2")})
        exchange(port, request("POST", "/device_model", "{\"code\":\"" + code + "\"}", Token));
    for (const QByteArray& record :
         {QByteArray(R"({"device":1,"task_copies":3,"finish_copies":3,"page_size":"20x30","page_area":600,)"
                     R"("path_length":2500,"task_time":61,"file_name":"sign.plt"})"),
          QByteArray(R"({"device":1,"task_copies":1,"finish_copies":1,"page_size":"10x10","page_area":100,)"
                     R"("path_length":500,"task_time":9})")})
        exchange(port, request("POST", "/device_work_records", record, Token));
    const QString base = QStringLiteral("ws://127.0.0.1:%1/%2/").arg(port).arg(QString::fromLatin1(Token));
    QWebSocket idle, odd;
    idle.open(QUrl(base + QStringLiteral("AB1/Device/")));
    odd.open(QUrl(base + QStringLiteral("CD2/Device/")));
    if (!QTest::qWaitFor([&] { return idle.isValid() && odd.isValid(); }, 5000))
        return "no channels";
    const QString runtime = QStringLiteral(R"({"actions":["Runtime"],"message":{"Runtime":%1},"sender":"Device"})");
    idle.sendTextMessage(runtime.arg(QStringLiteral(R"({"Status":0,"TaskCopies":0,"Finished":0,"Percent":0})")));
    odd.sendTextMessage(runtime.arg(QStringLiteral(R"({"Status":1,"TaskCopies":0,"Finished":2,"Percent":0})")));
    const bool listed = QTest::qWaitFor(
        [&] {
            const QJsonArray devices = bodyOf(exchange(port, request("GET", "/device", {}, Token))).array();
            return devices.size() == 2 && devices.at(1).toObject().value(QStringLiteral("task")).isObject();
        },
        5000);
    if (!listed)
        return "the service did not list both cutters with a task";
    QTemporaryDir profile;
    QProcess chromium;
    chromium.start(QStandardPaths::findExecutable(QStringLiteral("chromium")),
                   {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
                    "--disable-component-update", "--disable-sync", "--user-data-dir=" + profile.path(),
                    "--virtual-time-budget=4000", "--dump-dom",
                    QStringLiteral("http://127.0.0.1:%1/#token=%2").arg(port).arg(QString::fromLatin1(Token))});
    // The channels stay served while the browser works.
    if (!QTest::qWaitFor([&] { return chromium.state() == QProcess::NotRunning; }, 60000))
        chromium.kill();
    chromium.waitForFinished(5000);
    service.kill();
    service.waitForFinished(5000);
    return chromium.readAllStandardOutput();
}

void tst_FleetGuard::pageShows_data()
{
    QTest::addColumn<QByteArray>("fragment");
    QTest::addColumn<int>("times");
    QTest::newRow("idle and odd cutters online") << QByteArray("class=\"online\">online<") << 2;
    QTest::newRow("an idle cutter has no task") << QByteArray("idle<") << 0;
    QTest::newRow("odd task state shown") << QByteArray("job: 2/0 copies, 0%, cutting<") << 1;
    QTest::newRow("width x height") << QByteArray(">30 x 20 mm<") << 1;
    QTest::newRow("area in mm\xc2\xb2") << QByteArray(">600 mm\xc2\xb2<") << 1;
    QTest::newRow("path in m") << QByteArray(">2.5 m<") << 1;
    QTest::newRow("the job's file name") << QByteArray("<td>sign.plt</td>") << 1;
    // 3 x 600 + 100 mm², 3 x 2.5 + 0.5 m, per device and per day.
    QTest::newRow("totals count copies") << QByteArray(
        "<td class=\"num\">4</td><td class=\"num\">1,900 mm\xc2\xb2</td><td class=\"num\">8 m</td>")
                                         << 2;
}

void tst_FleetGuard::pageShows()
{
    QFETCH(QByteArray, fragment);
    QFETCH(int, times);
    if (QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty())
        QSKIP("chromium is not installed (Debian package chromium): the page is not tested in a browser");
    if (pageDom.isEmpty())
        pageDom = pageWithTwoCutters();
    const int shown = pageDom.indexOf("<main");
    QVERIFY2(pageDom.count(fragment) == times, pageDom.mid(shown, 3000).constData());
}

QTEST_GUILESS_MAIN(tst_FleetGuard)
#include "tst_fleetguard.moc"
