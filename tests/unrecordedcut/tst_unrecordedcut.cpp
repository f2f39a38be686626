// A cut whose work record the fleet service did not keep: the host and the window as
// processes against the simulator and the service on loopback.
#include "localcloudservice.h"
#include "simprocess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <memory>

class tst_UnrecordedCut : public QObject
{
    Q_OBJECT
private slots:
    void cutNotRecorded_data();
    void cutNotRecorded();
};

void tst_UnrecordedCut::cutNotRecorded_data()
{
    QTest::addColumn<bool>("window");
    QTest::addColumn<QString>("trouble"); // token, fault, once (the fault once), gone
    QTest::addColumn<int>("status");      // answered to the work record instead of keeping it
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("posts"); // work records posted; -1: at least two
    QTest::newRow("401 at once") << false << "token" << 0 << 10 << "refused the token" << 0;
    QTest::newRow("400") << false << "fault" << 400 << 10 << "(answered 400: injected)" << 1;
    QTest::newRow("500") << false << "fault" << 500 << 10 << "(answered 500: injected)" << 1;
    QTest::newRow("503 then kept") << false << "once" << 503 << 0 << QString() << 2;
    QTest::newRow("503 always") << false << "fault" << 503 << 10 << "attempts in" << -1;
    QTest::newRow("service gone") << false << "gone" << 0 << 10 << "(no answer:" << 1;
    QTest::newRow("window") << true << "fault" << 500 << 10 << ", but not recorded: the fleet" << 1;
}

void tst_UnrecordedCut::cutNotRecorded()
{
    QFETCH(bool, window);
    QFETCH(QString, trouble);
    QFETCH(int, status);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(int, posts);
    const QString records = QStringLiteral("device_work_records");
    SimProcess sim({QStringLiteral("--cut-ms"), QStringLiteral("20")});
    QVERIFY(sim.start());
    auto service = std::make_unique<LocalCloudService>();
    service->setToken("right");
    if (status || trouble == QLatin1String("gone"))
        service->setFault(records,
                          {status, 0, trouble == QLatin1String("gone"), trouble == QLatin1String("once") ? 1 : -1});
    QVERIFY(service->listen(QHostAddress::LocalHost, 0));
    QTimer goneWatch; // the service goes away while the record waits for its answer
    connect(&goneWatch, &QTimer::timeout, this, [&] {
        if (trouble == QLatin1String("gone") && service && service->requests(records).size() == 1)
            service.reset();
    });
    goneWatch.start(20);
    QStringList arguments{QString::fromLocal8Bit(qgetenv("KT_SOURCE_DIR")) + QStringLiteral("/examples/sample.plt"),
                          "--tcp",
                          QStringLiteral("127.0.0.1:%1").arg(sim.port),
                          "--cloud",
                          service->httpBase().toString(),
                          "--token",
                          trouble == QLatin1String("token") ? "wrong" : "right",
                          "--code",
                          "AB3M7Z"};
    if (window)
        arguments[0].prepend(QStringLiteral("--open="));
    else
        arguments.prepend(QStringLiteral("cut"));
    arguments += window ? QStringList{"--start", "--quit-when-done"} : QStringList{"--json"};
    QProcess host;
    qRegisterMetaType<QProcess::ExitStatus>();
    QSignalSpy done(&host, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    QElapsedTimer clock;
    clock.start();
    host.start(ktBinary(window ? "ktrv8-gui" : "ktrv8"), arguments); // this thread serves the service meanwhile
    QVERIFY(done.wait(60000));
    const QByteArray said = host.readAllStandardError();
    QVERIFY2(host.exitCode() == exitCode, said.constData());
    QVERIFY2(exitCode ? said.contains(message.toUtf8()) && said.contains("the job is cut but not recorded")
                      : !said.contains("not recorded"),
             said.constData());
    if (!window && exitCode) {
        const QList<QByteArray> lines = host.readAllStandardOutput().trimmed().split('\n');
        const QJsonObject last = QJsonDocument::fromJson(lines.last()).object();
        QCOMPARE(last.value(QStringLiteral("code")).toInt(), exitCode);
        QVERIFY(last.value(QStringLiteral("message")).toString().contains(message));
    }
    QVERIFY2(trouble != QLatin1String("token") || clock.elapsed() < 8000, "waited though the token was refused");
    if (service) {
        const int posted = service->requests(records).size();
        QVERIFY2(posts < 0 ? posted >= 2 : posted == posts, qPrintable(QString::number(posted)));
        QCOMPARE(service->workRecords().size(), exitCode ? 0 : 1);
    }
}

QTEST_GUILESS_MAIN(tst_UnrecordedCut)
#include "tst_unrecordedcut.moc"
