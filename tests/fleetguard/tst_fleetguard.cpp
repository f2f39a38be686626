// The fleet service's secrets and what it lets out: the token file, the database password,
// the cutters' own tokens and the log, through the real program.
#include "../cloudservice/cloudtestsupport.h"
#include "localcloudservice.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWebSocket>
#include <QtTest>

namespace {

const QString Program = qEnvironmentVariable("KT_BUILD_BIN") + QStringLiteral("/ktrv8-cloud");
const QByteArray Secret = "hunter2-not-for-logs";
const int Private = int(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
const int Shared = Private | int(QFileDevice::ReadGroup | QFileDevice::ReadOther);

bool isPrivate(const QString& file)
{
    return QFileInfo::exists(file) && !(QFileInfo(file).permissions() & 0x0077);
}

// Everything the program printed up to its "page" line, which comes last at start.
QByteArray startUp(QProcess& service)
{
    QByteArray said;
    while (!said.contains("\npage ") && service.waitForReadyRead(10000))
        said += service.readAll();
    return said;
}

} // namespace

class tst_FleetGuard : public QObject
{
    Q_OBJECT
private slots:
    void stateFolderKeepsTheToken();
    void secretsAreRefusedOrHidden_data();
    void secretsAreRefusedOrHidden();
    void deviceTokenActsOnlyAsItsDevice_data();
    void deviceTokenActsOnlyAsItsDevice();
    void logQuotesClientText();

private:
    QTemporaryDir dir;
};

// As the systemd unit starts it, twice: no paths given, STATE_DIRECTORY set. The token (made
// on the first start, the same on the second) and the database land there, private (an older
// one is made so); the token is printed only masked.
void tst_FleetGuard::stateFolderKeepsTheToken()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("STATE_DIRECTORY"), dir.filePath(QStringLiteral("state")));
    environment.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("state"))));
    QFile older(dir.filePath(QStringLiteral("state/fleet.sqlite"))); // as earlier versions left it: 0644
    QVERIFY(older.open(QIODevice::WriteOnly) && older.setPermissions(QFileDevice::Permissions(Shared)));
    QByteArray first;
    for (int start = 0; start < 2; ++start) {
        QProcess service;
        service.setProcessEnvironment(environment);
        service.start(Program, {"--port", "0"});
        const QByteArray said = startUp(service);
        QFile file(dir.filePath(QStringLiteral("state/token")));
        QVERIFY(file.open(QIODevice::ReadOnly) && isPrivate(file.fileName()));
        const QByteArray token = file.readAll().trimmed();
        QVERIFY2(token.size() >= 40 && !said.contains(token) && said.contains(token.left(4)), said.constData());
        QCOMPARE(token, start == 0 ? (first = token) : first);
        const quint16 port = quint16(said.mid(5, said.indexOf('\n') - 5).toUInt());
        QCOMPARE(statusOf(exchange(port, request("GET", "/device", {}, token))), 200);
        service.kill();
        QVERIFY(service.waitForFinished(5000));
    }
    QVERIFY(isPrivate(dir.filePath(QStringLiteral("state/fleet.sqlite"))));
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
        << QStringList{"--memory", "--token-file", "FILE"} << Shared << false << QByteArray("chmod 600");
    QTest::newRow("password from a file")
        << postgres + QStringList{"--db-password-file", "FILE"} << Private << false << QByteArray("127.0.0.1");
    QTest::newRow("password from the environment") << postgres << Private << true << QByteArray("127.0.0.1");
}

void tst_FleetGuard::secretsAreRefusedOrHidden()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, permissions);
    QFETCH(bool, inEnvironment);
    QFETCH(QByteArray, said);
    QFile file(dir.filePath(QString::fromLatin1(QTest::currentDataTag())));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && file.write(Secret + '\n') > 0
            && file.setPermissions(QFileDevice::Permissions(permissions)));
    arguments.replaceInStrings(QStringLiteral("FILE"), file.fileName());
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
    QTest::addColumn<QByteArray>("bytes"); // the token as TOKEN, the devices' ids as 1 (own) and 2
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("removed"); // "device remove" ran before the request
    const auto as = [](const QByteArray& verb, const QByteArray& target, const QByteArray& body = {}) {
        return request(verb, target, body, "TOKEN");
    };
    QTest::newRow("own lookup") << as("GET", "/device?code=AB1") << 200 << false;
    QTest::newRow("own lookup, token removed") << as("GET", "/device?code=AB1") << 401 << true;
    QTest::newRow("other's lookup") << as("GET", "/device?code=CD2") << 403 << false;
    QTest::newRow("device list") << as("GET", "/device") << 403 << false;
    QTest::newRow("own record") << as("POST", "/device_work_records", R"({"device":1})") << 200 << false;
    QTest::newRow("other's record") << as("POST", "/device_work_records", R"({"device":2})") << 403 << false;
    QTest::newRow("record list") << as("GET", "/device_work_records") << 403 << false;
    QTest::newRow("creating another") << as("POST", "/device_model", R"({"code":"EF3"})") << 403 << false;
    QTest::newRow("taking another's code") << as("PUT", "/device", R"({"id":1,"code":"EF3"})") << 403 << false;
}

// "device add" prints a token that the running service takes at once, as that cutter only:
// its requests and its channel, nobody else's.
void tst_FleetGuard::deviceTokenActsOnlyAsItsDevice()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    QFETCH(bool, removed);
    QTemporaryDir state;
    LocalCloudService service;
    service.setToken(Token);
    service.setDeviceTokens(state.filePath(QStringLiteral("device-tokens")));
    QVERIFY(service.listen(0));
    QCOMPARE(service.addDevice(QJsonObject{{QStringLiteral("code"), QStringLiteral("AB1")}}), 1);
    QCOMPARE(service.addDevice(QJsonObject{{QStringLiteral("code"), QStringLiteral("CD2")}}), 2);
    QProcess add;
    add.start(Program, {"device", "add", "AB1", "--token-file", state.filePath(QStringLiteral("token"))});
    QVERIFY(add.waitForFinished(10000) && add.exitCode() == 0);
    const QByteArray token = add.readAllStandardOutput().trimmed();
    QFile kept(state.filePath(QStringLiteral("device-tokens")));
    QVERIFY(kept.open(QIODevice::ReadOnly) && isPrivate(kept.fileName()));
    QVERIFY(token.size() >= 40 && !kept.readAll().contains(token));
    if (removed) {
        add.start(Program, {"device", "remove", "AB1", "--token-file", state.filePath(QStringLiteral("token"))});
        QVERIFY(add.waitForFinished(10000) && add.exitCode() == 0);
    }

    const QByteArray answer = exchange(service.port(), QByteArray(bytes).replace("TOKEN", token));
    QVERIFY2(statusOf(answer) == status, answer.constData());
    QCOMPARE(statusOf(exchange(service.port(), bytes.replace("TOKEN", token + "x"))), 401);
    QCOMPARE(service.workRecords().size(), QTest::currentDataTag() == QByteArray("own record") ? 1 : 0);
    QWebSocket mine, theirs;
    QSignalSpy refused(&theirs, &QWebSocket::disconnected);
    const QString base = QStringLiteral("ws://127.0.0.1:%1/%2/").arg(service.port()).arg(QString::fromLatin1(token));
    mine.open(QUrl(base + QStringLiteral("AB1/Device/")));
    theirs.open(QUrl(base + QStringLiteral("CD2/Device/")));
    QVERIFY(refused.wait(5000));
    QTRY_COMPARE_WITH_TIMEOUT(service.connectedDevices(), removed ? QStringList() : QStringList{"AB1"}, 5000);
}

// A request path and a channel text that try to forge a log line or drive the terminal are
// logged quoted, their control characters escaped.
void tst_FleetGuard::logQuotesClientText()
{
    QProcess service;
    service.start(Program, {"--port", "0", "--memory", "--token", QString::fromLatin1(Token)});
    const QByteArray said = startUp(service);
    const quint16 port = quint16(said.mid(5, said.indexOf('\n') - 5).toUInt());
    exchange(port, request("GET", "/x%0A200%20GET%20%2Fforged%1B%5B2J", {}, Token));
    QWebSocket device;
    device.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/%2/AB1/Device/").arg(port).arg(QString::fromLatin1(Token))));
    QTRY_COMPARE_WITH_TIMEOUT(device.state(), QAbstractSocket::ConnectedState, 5000);
    device.sendTextMessage(QStringLiteral("hello\n404 GET \"/forged\"\x1b[31m"));
    QByteArray log;
    QTRY_VERIFY_WITH_TIMEOUT((log += service.readAllStandardOutput()).contains("channel \"AB1\" \"hello"), 5000);
    QVERIFY2(!log.contains('\x1b') && !log.contains("\n200 GET") && !log.contains("\n404 GET")
                 && log.contains("404 GET \"/x\\x0a200 GET /forged\\x1b[2J\"\n"),
             log.constData());
    service.kill();
    QVERIFY(service.waitForFinished(5000));
}

QTEST_GUILESS_MAIN(tst_FleetGuard)
#include "tst_fleetguard.moc"
