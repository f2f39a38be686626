// A cut whose work record the fleet service did not keep: the host and the window as
// processes against the simulator and the service on loopback.
#include "localcloudservice.h"
#include "simprocess.h"

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
    QTest::addColumn<QByteArray>("trouble"); // token, fault, once (the fault once), gone, lost (stored, no answer)
    QTest::addColumn<int>("status");         // answered to the work record instead of keeping it
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("posts"); // work records posted; -1: at least two
    QTest::newRow("401 at once") << false << QByteArray("token") << 0 << 10 << "refused the token" << 0;
    QTest::newRow("400") << false << QByteArray("fault") << 400 << 10 << "(answered 400: injected)" << 1;
    QTest::newRow("500") << false << QByteArray("fault") << 500 << 10 << "(answered 500: injected)" << 1;
    QTest::newRow("503 then kept") << false << QByteArray("once") << 503 << 0 << QString() << 2;
    QTest::newRow("answer lost, kept once") << false << QByteArray("lost") << 0 << 0 << QString() << 2;
    QTest::newRow("503 always") << false << QByteArray("fault") << 503 << 10 << "attempts in" << -1;
    QTest::newRow("service gone") << false << QByteArray("gone") << 0 << 10 << "(no answer:" << 1;
    QTest::newRow("window") << true << QByteArray("fault") << 500 << 10 << ", but not recorded: the fleet" << 1;
}

void tst_UnrecordedCut::cutNotRecorded()
{
    QFETCH(bool, window);
    QFETCH(QByteArray, trouble);
    QFETCH(int, status);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(int, posts);
    const QString records = QStringLiteral("device_work_records");
    SimProcess sim({QStringLiteral("--cut-ms"), QStringLiteral("20")});
    QVERIFY(sim.start());
    auto service = std::make_unique<LocalCloudService>();
    service->setToken("right");
    if (status || trouble == "gone")
        service->setFault(records, {status, 0, trouble == "gone", trouble == "once" ? 1 : -1});
    if (trouble == "lost") // the host's request times out and it posts the record again
        service->setFault(records, {0, 0, true, 1, true});
    QVERIFY(service->listen(QHostAddress::LocalHost, 0));
    QTimer goneWatch; // the service goes away while the record waits for its answer
    connect(&goneWatch, &QTimer::timeout, this, [&] {
        if (trouble == "gone" && service && service->requests(records).size() == 1)
            service.reset();
    });
    goneWatch.start(20);
    const QString sample = QString::fromLocal8Bit(qgetenv("KT_SOURCE_DIR")) + QStringLiteral("/examples/sample.plt");
    QStringList arguments =
        window ? QStringList{"--open=" + sample, "--start", "--quit-when-done"} : QStringList{"cut", sample, "--json"};
    arguments << "--tcp" << QStringLiteral("127.0.0.1:%1").arg(sim.port) << "--cloud" << service->httpBase().toString()
              << "--token" << (trouble == "token" ? "wrong" : "right") << "--code"
              << "AB3M7Z";
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
    // --json ends with the error event: {"code":..., "event":"error", "message":...}
    QVERIFY(window || !exitCode || host.readAllStandardOutput().contains("{\"code\":10,\"event\":\"error\""));
    QVERIFY2(trouble != "token" || clock.elapsed() < 8000, "waited though the token was refused");
    if (service) {
        const int posted = service->requests(records).size();
        QVERIFY2(posts < 0 ? posted >= 2 : posted == posts, qPrintable(QString::number(posted)));
        QCOMPARE(service->workRecords().size(), exitCode ? 0 : 1);
    }
}

QTEST_GUILESS_MAIN(tst_UnrecordedCut)
#include "tst_unrecordedcut.moc"
