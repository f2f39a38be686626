// The fleet service with the host and the simulator as real processes over loopback: a job
// cut with --cloud is recorded once and survives a killed service; the page, in a headless
// browser, shows the device and its job while it runs.
#include "simprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWebSocket>
#include <QtTest>

namespace {

const QString Token = QStringLiteral("fleet-test-token");
const QString Code = QStringLiteral("AB3M7Z");

// ktrv8-cloud as a process; the port comes from its first line.
struct CloudProcess
{
    QProcess process;
    quint16 port = 0;

    bool start(const QStringList& storage)
    {
        process.start(ktBinary(QStringLiteral("ktrv8-cloud")), storage + QStringList{"--token", Token});
        QDeadlineTimer deadline(10000);
        while (port == 0 && !deadline.hasExpired()
               && process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
            const QByteArray line = process.readLine().trimmed();
            if (line.startsWith("port "))
                port = quint16(line.mid(5).toUInt());
        }
        return port != 0;
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(port); }
    ~CloudProcess()
    {
        process.kill();
        process.waitForFinished(5000);
    }
};

// One request; the status and the body.
QPair<int, QByteArray> http(const QString& url, const QByteArray& verb = "GET", const QByteArray& body = {},
                            const QString& token = Token)
{
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(url)};
    if (!token.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    QNetworkReply* reply = manager.sendCustomRequest(request, verb, body);
    QSignalSpy done(reply, &QNetworkReply::finished);
    done.wait(10000);
    const QPair<int, QByteArray> out{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                                     reply->readAll()};
    delete reply;
    return out;
}

QJsonArray list(const QString& url)
{
    return QJsonDocument::fromJson(http(url).second).array();
}

QStringList cutArguments(const SimProcess& sim, const CloudProcess& cloud, int copies)
{
    return {QStringLiteral("cut"),
            QString::fromLocal8Bit(qgetenv("KT_SOURCE_DIR")) + QStringLiteral("/examples/sample.plt"),
            QStringLiteral("--tcp"),
            QStringLiteral("127.0.0.1:%1").arg(sim.port),
            QStringLiteral("--copies"),
            QString::number(copies),
            QStringLiteral("--cloud"),
            cloud.url(),
            QStringLiteral("--token"),
            Token,
            QStringLiteral("--code"),
            Code};
}

// The one record a two-copy cut of the sample leaves. The sample's strokes span 900 x 800
// plotter units (22.5 x 20 mm) and add up to 9659.45 units (241.5 mm), measured by hand from
// examples/sample.plt.
void verifySampleRecord(const QJsonArray& found)
{
    QCOMPARE(found.size(), 1);
    const QJsonObject record = found.first().toObject();
    QCOMPARE(record.value(QStringLiteral("task_copies")).toInt(), 2);
    QCOMPARE(record.value(QStringLiteral("finish_copies")).toInt(), 2);
    QCOMPARE(record.value(QStringLiteral("page_size")).toString(), QStringLiteral("20x23"));
    QCOMPARE(record.value(QStringLiteral("page_area")).toInt(), 460);
    QCOMPARE(record.value(QStringLiteral("path_length")).toInt(), 241);
    QCOMPARE(record.value(QStringLiteral("file_name")).toString(), QStringLiteral("sample.plt")); // from the host
}

// chromium as the brief's flags ask: headless, no network of its own, a fresh profile.
QByteArray browse(const QString& browser, const QString& url, const QStringList& extra, QTemporaryDir& profile)
{
    QProcess chromium;
    chromium.start(browser,
                   QStringList{"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                               "--disable-background-networking", "--disable-component-update", "--disable-sync",
                               "--user-data-dir=" + profile.path(), "--virtual-time-budget=4000"}
                       + extra + QStringList{url});
    if (!chromium.waitForFinished(60000)) {
        chromium.kill();
        chromium.waitForFinished(5000);
    }
    return chromium.readAllStandardOutput();
}

// Two more cutters on their channels: one idle, one whose state is odd (no copies while
// cutting); the page must show both online and go on with the rest.
void openMoreCutters(const CloudProcess& cloud, QWebSocket& idle, QWebSocket& odd)
{
    for (const QByteArray code : {"CD2", "EF3"})
        QCOMPARE(http(cloud.url() + QStringLiteral("device_model"), "POST", "{\"code\":\"" + code + "\"}").first, 200);
    const QString channel = QStringLiteral("ws://127.0.0.1:%1/%2/").arg(cloud.port).arg(Token);
    idle.open(QUrl(channel + QStringLiteral("CD2/Device/")));
    odd.open(QUrl(channel + QStringLiteral("EF3/Device/")));
    QTRY_VERIFY_WITH_TIMEOUT(idle.isValid() && odd.isValid(), 10000);
    const QString runtime = QStringLiteral(R"({"actions":["Runtime"],"message":{"Runtime":%1},"sender":"Device"})");
    idle.sendTextMessage(runtime.arg(QStringLiteral(R"({"Status":0,"TaskCopies":0,"Finished":0,"Percent":0})")));
    odd.sendTextMessage(runtime.arg(QStringLiteral(R"({"Status":1,"TaskCopies":0,"Finished":2,"Percent":0})")));
    QTRY_VERIFY_WITH_TIMEOUT(http(cloud.url() + QStringLiteral("device")).second.count("\"Status\"") >= 3, 10000);
}

} // namespace

class tst_Fleet : public QObject
{
    Q_OBJECT
private slots:
    void cutIsRecordedOnceAndKept();
    void windowCutIsRecorded();
    void pageShowsTheRunningJob();
    void jobOutlivesTheService();
};

void tst_Fleet::cutIsRecordedOnceAndKept()
{
    QTemporaryDir dir;
    const QStringList storage{QStringLiteral("--db"), dir.filePath(QStringLiteral("fleet.sqlite"))};
    SimProcess sim({QStringLiteral("--cut-ms"), QStringLiteral("20")});
    QVERIFY(sim.start());
    CloudProcess cloud;
    QVERIFY(cloud.start(storage + QStringList{QStringLiteral("--init")})); // the database's first start
    // Without --port it listens where cutters, windows and bookmarks found it last time.
    QCOMPARE(cloud.port, quint16(8437));

    QProcess host;
    host.start(ktBinary(QStringLiteral("ktrv8")), cutArguments(sim, cloud, 2));
    QVERIFY(host.waitForFinished(60000));
    QVERIFY2(host.exitCode() == 0, host.readAllStandardError().constData());

    const QString records = cloud.url() + QStringLiteral("device_work_records");
    QJsonArray found = list(records + QStringLiteral("?code=") + Code);
    verifySampleRecord(found);
    QVERIFY(!QTest::currentTestFailed());
    const QJsonObject record = found.first().toObject();

    // Refused: no token, and a body that is not what a record is; nothing is added.
    QCOMPARE(http(records, "GET", {}, QString()).first, 401);
    QCOMPARE(http(records, "POST", R"({"device":1,"finish_copies":"2"})").first, 400);
    QCOMPARE(http(records, "POST", R"({"device":1,)").first, 400);

    cloud.process.kill(); // SIGKILL: whatever was answered must already be on disk
    QVERIFY(cloud.process.waitForFinished(5000));
    CloudProcess again;
    QVERIFY(again.start(storage));
    found = list(again.url() + QStringLiteral("device_work_records"));
    QCOMPARE(found.size(), 1);
    QCOMPARE(found.first().toObject(), record);

    QProcess status;
    status.start(ktBinary(QStringLiteral("ktrv8")), {"cloud-status", "--cloud", again.url(), "--token", Token});
    QVERIFY(status.waitForFinished(30000));
    const QByteArray text = status.readAllStandardOutput();
    QVERIFY2(status.exitCode() == 0 && text.contains(Code.toLatin1()) && text.contains("1 work record(s): 2 copies"),
             text.constData());
    status.start(ktBinary(QStringLiteral("ktrv8")), {"cloud-status", "--cloud", again.url(), "--token", "wrong"});
    QVERIFY(status.waitForFinished(30000));
    QCOMPARE(status.exitCode(), 1);
    QVERIFY(status.readAllStandardError().contains("refused the token"));
}

void tst_Fleet::pageShowsTheRunningJob()
{
    const QString browser = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (browser.isEmpty())
        QSKIP("chromium is not installed (Debian package chromium): the page is not tested in a browser");
    SimProcess sim({QStringLiteral("--cut-ms"), QStringLiteral("1500")});
    QVERIFY(sim.start());
    CloudProcess cloud;
    QVERIFY(cloud.start({QStringLiteral("--memory")}));
    QProcess host;
    host.start(ktBinary(QStringLiteral("ktrv8")), cutArguments(sim, cloud, 1)); // a finished job in the history
    QVERIFY(host.waitForFinished(60000));
    QCOMPARE(host.exitCode(), 0);
    host.start(ktBinary(QStringLiteral("ktrv8")), cutArguments(sim, cloud, 3));

    // Once the service has the running task, the page must show it.
    QTRY_VERIFY_WITH_TIMEOUT(!list(cloud.url() + QStringLiteral("device")).isEmpty()
                                 && list(cloud.url() + QStringLiteral("device"))
                                            .first()
                                            .toObject()
                                            .value(QStringLiteral("task"))
                                            .toObject()
                                            .value(QStringLiteral("Status"))
                                            .toInt()
                                        == 1,
                             20000);
    QTemporaryDir profile;
    const QString page = cloud.url() + QStringLiteral("#token=") + Token;
    const QByteArray dom = browse(browser, page, {QStringLiteral("--dump-dom")}, profile);
    QVERIFY2(dom.contains("<tr data-code=\"AB3M7Z\">"), dom.constData());
    QVERIFY2(dom.contains("class=\"online\">online<"), dom.constData());
    QVERIFY2(dom.contains("sample.plt: ") && dom.contains("/3 copies") && dom.contains("cutting"), dom.constData());
    QVERIFY2(dom.contains("class=\"feed on\">live<"), dom.constData());    // the WebSocket feed was open
    QVERIFY2(dom.contains("<td class=\"num\">1/1</td>"), dom.constData()); // the first job's record
    const QString shot = qEnvironmentVariable("KT_FLEET_SCREENSHOT");      // how the README picture is made
    if (!shot.isEmpty())
        browse(browser, page, {"--screenshot=" + shot, "--window-size=1000,460", "--hide-scrollbars"}, profile);

    QVERIFY(host.waitForFinished(60000));
    QCOMPARE(host.exitCode(), 0);
    QWebSocket idle, odd;
    openMoreCutters(cloud, idle, odd); // a failure there shows in the checks below too
    QTemporaryDir after;
    const QByteArray done = browse(browser, page, {QStringLiteral("--dump-dom")}, after);
    // The records of 1 and 3 copies: 20 mm high, 23 mm wide, 460 mm² and 241 mm a copy.
    const QList<QPair<QByteArray, int>> shown{
        {"<td class=\"num\">3/3</td>", 1},
        {"<td>sample.plt</td>", 2},
        {">23 x 20 mm<", 2},
        {">460 mm\xc2\xb2<", 2},
        {">0.24 m<", 2},
        {"<td class=\"num\">4</td><td class=\"num\">1,840 mm\xc2\xb2</td><td class=\"num\">0.96 m</td>", 2},
        {"class=\"online\">online<", 2},
        {"job: 2/0 copies, 0%, cutting<", 1}};
    for (const auto& [fragment, times] : shown)
        QVERIFY2(done.count(fragment) == times, fragment + "\n" + done.mid(done.indexOf("<main")));
}

// The desktop window's fleet service options report its cut as "ktrv8 cut --cloud" does.
void tst_Fleet::windowCutIsRecorded()
{
    SimProcess sim({QStringLiteral("--cut-ms"), QStringLiteral("20")});
    QVERIFY(sim.start());
    CloudProcess cloud;
    QVERIFY(cloud.start({QStringLiteral("--memory")}));
    QStringList arguments = cutArguments(sim, cloud, 2).mid(1);
    arguments[0].prepend(QStringLiteral("--open="));
    QProcess window;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    window.setProcessEnvironment(environment);
    window.start(ktBinary(QStringLiteral("ktrv8-gui")), arguments + QStringList{"--start", "--quit-when-done"});
    QVERIFY(window.waitForFinished(60000));
    QVERIFY2(window.exitCode() == 0, window.readAllStandardError().constData());
    verifySampleRecord(list(cloud.url() + QStringLiteral("device_work_records?code=") + Code));
}

// The cloud channel closing is no reason to stop cutting, nor to call the job recorded.
void tst_Fleet::jobOutlivesTheService()
{
    SimProcess sim({QStringLiteral("--cut-ms"), QStringLiteral("400")});
    QVERIFY(sim.start());
    CloudProcess cloud;
    QVERIFY(cloud.start({QStringLiteral("--memory")}));
    QProcess host;
    host.start(ktBinary(QStringLiteral("ktrv8")), cutArguments(sim, cloud, 2));
    QTRY_VERIFY_WITH_TIMEOUT(
        !list(cloud.url() + QStringLiteral("device")).isEmpty()
            && list(cloud.url() + QStringLiteral("device")).first().toObject().value(QStringLiteral("online")).toBool(),
        20000);
    cloud.process.kill();
    QVERIFY(host.waitForFinished(60000));
    // The whole job is cut; that its record could not be kept is said, not hidden.
    const QByteArray err = host.readAllStandardError();
    QVERIFY2(host.exitCode() == 10 && err.contains("the job is cut but not recorded"), err.constData());
}

QTEST_GUILESS_MAIN(tst_Fleet)
#include "tst_fleet.moc"
