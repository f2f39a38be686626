#include "cloudtestsupport.h"
#include "localcloudservice.h"

#include <QElapsedTimer>
#include <QWebSocket>
#include <QtTest>

// What the service holds for clients that misbehave: silent connections, pages that stop
// reading, requests without the token, devices that talk a lot.
class tst_ServiceLimits : public QObject
{
    Q_OBJECT
private slots:
    void connectionsAreLimitedAndIdleOnesClosed();
    void feedThatStopsReadingIsClosed();
    void trafficLeavesNoMemory_data();
    void trafficLeavesNoMemory();
};

void tst_ServiceLimits::connectionsAreLimitedAndIdleOnesClosed()
{
    LocalCloudService service;
    HttpServer::Limits limits;
    limits.perAddress = 3;
    limits.idleMs = 500;
    service.setLimits(limits);
    QVERIFY(service.listen(0));
    QList<QTcpSocket*> silent;
    for (int i = 0; i < 5; ++i) {
        silent.append(new QTcpSocket(this));
        silent.last()->connectToHost(QHostAddress::LocalHost, service.port());
    }
    // The two beyond the limit are closed at once, the others once they have been idle.
    QTRY_COMPARE_WITH_TIMEOUT(service.openConnections(), 3, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(service.openConnections(), 0, 5000);
    for (QTcpSocket* s : qAsConst(silent))
        QTRY_COMPARE_WITH_TIMEOUT(s->state(), QAbstractSocket::UnconnectedState, 5000);
    qDeleteAll(silent);
    QCOMPARE(statusOf(exchange(service.port(), request("GET", "/device?code=A"))), 404);
}

// A page that stops reading is closed once what waits for it passes the limit; the devices
// go on.
void tst_ServiceLimits::feedThatStopsReadingIsClosed()
{
    LocalCloudService service;
    QVERIFY(service.listen(0));
    QTcpSocket page;
    page.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    page.setReadBufferSize(1); // Qt takes no more from the system than this
    page.connectToHost(QHostAddress::LocalHost, service.port());
    QVERIFY(page.waitForConnected(5000));
    page.write("GET /live HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
               "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(page.bytesAvailable() > 0, 5000);
    page.write(QByteArray::fromHex("818200000000") + "{}"); // "{}" as a masked text frame
    QTRY_COMPARE_WITH_TIMEOUT(service.liveFeeds(), 1, 5000);

    QWebSocket device;
    device.open(QUrl(service.wsBase() + QStringLiteral("AB1/Device/")));
    QTRY_COMPARE_WITH_TIMEOUT(device.state(), QAbstractSocket::ConnectedState, 5000);
    const QString report =
        QStringLiteral(R"({"message":{"Runtime":{"Status":1,"FileName":"%1"}}})").arg(QString(250, QLatin1Char('x')));
    int sent = 0;
    // The system's buffers take a few MiB before the service's own queue grows.
    for (int batch = 0; batch < 120 && service.liveFeeds() == 1; ++batch) {
        for (int i = 0; i < 250; ++i, ++sent)
            device.sendTextMessage(report);
        QTRY_COMPARE_WITH_TIMEOUT(service.textsFrom(QStringLiteral("AB1")).size(), sent, 10000);
    }
    QCOMPARE(service.liveFeeds(), 0);
    QVERIFY2(sent > 1000, qPrintable(QString::number(sent))); // not closed before it fell behind
    QCOMPARE(service.connectedDevices(), QStringList{QStringLiteral("AB1")});
}

namespace {

// Sends a device's task reports, 64 KiB each, on its channel; true once the service has read
// the last (its state is what the device list shows).
bool talk(quint16 port, int reports)
{
    if (statusOf(exchange(port, request("POST", "/device_model", R"({"code":"AB1"})", Token))) != 200)
        return false;
    QWebSocket device;
    device.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/%2/AB1/Device/").arg(port).arg(QString::fromLatin1(Token))));
    if (!QTest::qWaitFor([&] { return device.isValid(); }, 10000))
        return false;
    const QString report =
        QStringLiteral(R"({"actions":["Runtime"],"message":{"Runtime":)"
                       R"({"Status":1,"TaskCopies":%1,"Finished":%2,"Padding":"%3"}},"sender":"Device"})");
    const QString padding(64 * 1024, QLatin1Char('x'));
    for (int i = 1; i <= reports; ++i)
        device.sendTextMessage(report.arg(reports).arg(i).arg(padding));
    const QByteArray last = "\"Finished\":" + QByteArray::number(reports);
    return QTest::qWaitFor([&] { return exchange(port, request("GET", "/device", {}, Token)).contains(last); }, 60000);
}

} // namespace

void tst_ServiceLimits::trafficLeavesNoMemory_data()
{
    QTest::addColumn<bool>("channel");
    QTest::newRow("token-less 1 MiB requests") << false;
    QTest::newRow("device channel reports") << true;
}

// Requests without the token, bodies included, and what devices say on their channels cost
// the running program nothing lasting.
void tst_ServiceLimits::trafficLeavesNoMemory()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer holds freed memory in quarantine: the resident size proves nothing here");
#endif
    QFETCH(bool, channel);
    const QString program = qEnvironmentVariable("KT_BUILD_BIN") + QStringLiteral("/ktrv8-cloud");
    if (!QFile::exists(program))
        QSKIP("ktrv8-cloud is not built");
    QProcess service;
    service.start(program, {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--memory"),
                            QStringLiteral("--token"), QString::fromLatin1(Token)});
    const quint16 port = quint16(firstLineStarting(service, "port ").toUInt());
    QVERIFY(port > 0);
    const QByteArray body(1024 * 1024, 'x');
    const qint64 before = residentKiB(service.processId());
    QElapsedTimer spent;
    spent.start();
    int refused = 0;
    for (int i = 0; !channel && i < 300 && spent.elapsed() < 60000; ++i)
        refused += statusOf(exchange(port, request("POST", "/device_work_records", body), 1, 50)) == 401;
    QVERIFY2(channel || refused >= 100, qPrintable(QString::number(refused)));
    QVERIFY(!channel || talk(port, 300)); // 19 MiB of reports; 38 MiB if kept as text
    const qint64 grown = residentKiB(service.processId()) - before;
    QVERIFY2(grown < 16 * 1024, qPrintable(QStringLiteral("grew by %1 KiB").arg(grown)));
    service.kill();
    QVERIFY(service.waitForFinished(5000));
}

int runServiceLimitsTests(int argc, char* argv[])
{
    tst_ServiceLimits limits;
    return QTest::qExec(&limits, argc, argv);
}

#include "servicelimits.moc"
