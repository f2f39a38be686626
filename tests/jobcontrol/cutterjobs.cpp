// Whole jobs against a scripted cutter on a loopback socket: pages, copies, QR-code jobs,
// pause, resume and stop.
#include "jobcontrol.h"
#include "ktrv8_p.h"

#include <QSpinBox>
#include <QVBoxLayout>
#include <QWidget>
#include <QtTest>

void tst_JobControl::onePageJob()
{
    Device d;
    LoopbackCutter cutter;
    cutter.setScript(cutterScript({}));
    QVERIFY(connect(d, cutter));
    cutter.send(LoopbackCutter::frame("CCMD;66,1,sign.plt,1,0,0,0,0,0;"));
    QTRY_COMPARE(d.task().value("TaskCopies").toInt(), 1);

    d.rv8->setPlt(QStringLiteral("IN;PU0,0;PD100,0;"));
    d.jobMessages.clear();
    d.rv8->startTask();
    QTRY_COMPARE(d.task().value("Finished").toInt(), 1);
    QCOMPARE(settle(d, cutter), (QStringList{"CCMD;1000,1;", "PPLT;IN;PU0,0;PD100,0;PG;", "CCMD;4;"}));
    QCOMPARE(d.task().value("Status").toInt(), 0);
    QCOMPARE(d.task().value("Percent").toInt(), 100);
    QCOMPARE(d.task().value("FileName").toString(), QString("sign.plt"));
    QCOMPARE(d.jobMessages, (QStringList{"", ""})); // the start, the finished copy
}

void tst_JobControl::threePagesThreeCopies()
{
    Device d;
    LoopbackCutter cutter;
    cutter.setScript(cutterScript({}));
    QVERIFY(connect(d, cutter));
    cutter.send(LoopbackCutter::frame("CCMD;66,1,sign.plt,3,0,0,0,0,0;"));
    QTRY_COMPARE(d.task().value("TaskCopies").toInt(), 3);

    // The spacing between copies comes from what the user typed into its editor.
    QWidget panel;
    new QVBoxLayout(&panel);
    d["MARGIN"]->create_ui_ctrl(&panel, QStringLiteral("MARGIN"), true);
    auto* margin = panel.findChild<QSpinBox*>(QStringLiteral("MARGIN"));
    QVERIFY(margin);
    margin->setValue(35);

    d["TASK_COPIES"]->setValue(3);
    d.rv8->setPlt(QString::fromLatin1(ThreePages));
    d.rv8->startTask();
    QTRY_COMPARE(d.task().value("Finished").toInt(), 3);
    QCOMPARE(settle(d, cutter),
             (QStringList{"CCMD;1003,35;", "CCMD;1000,1;", "PPLT;IN;PU0,0;PD10,10;PG;", "PPLT;PU5,5;PD20,0;PG;",
                          "PPLT;PU0,0;PD0,30;PG;", "CCMD;4;", "CCMD;30,1;", "CCMD;30,1;"}));
    QCOMPARE(d["MARGIN"]->value().toInt(), 35);
    QCOMPARE(
        d.task(),
        (QJsonObject{{"Finished", 3}, {"TaskCopies", 3}, {"Status", 0}, {"Percent", 100}, {"FileName", "sign.plt"}}));
    // The report, the start, then one per copy.
    QCOMPARE(d.jobMessages, (QStringList{"66,1,sign.plt,3,0,0,0,0,0", "", "", "", ""}));
}

// Each page leaves as the frame the job property builds from its value at that moment, also
// when the frame was built ahead and when a host rewrites the page from valueChanged. A page
// equal to the one before is still sent once, in its place, and the job property tells of
// each page as setValue would.
void tst_JobControl::pageFramesAreThePropertys_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("hostRewrites");
    QTest::addColumn<QString>("plt");
    QTest::addColumn<QString>("firstPage");  // what the host puts in the job property before startTask
    QTest::addColumn<bool>("kindAfterLoad"); // the kind changed between setPlt and startTask
    const QString plt = QString::fromUtf8("IN;LB文字;PG;PU5,5;PD20,0;PG;PU0,0;PD0,30;PG;PD1,1;PG;");
    const QString repeats = QStringLiteral("A;PG;A;PG;A;PG;B;PG;A;PG;B;PG;B;PG;");
    QTest::newRow("PPLT") << int(K::PPLT) << false << plt << QString() << false;
    QTest::newRow("PLT") << int(K::PLT) << false << plt << QString() << false;
    QTest::newRow("QR_PLT") << int(K::QRPLT) << false << plt << QString() << false;
    QTest::newRow("PPLT, host rewrites each page") << int(K::PPLT) << true << plt << QString() << false;
    QTest::newRow("PPLT, pages equal to the one or two before")
        << int(K::PPLT) << false << repeats << QString() << false;
    QTest::newRow("PPLT, repeated pages rewritten by the host")
        << int(K::PPLT) << true << repeats << QString() << false;
    QTest::newRow("first page replaced before the start") << int(K::PPLT) << false << plt << "IN;PD7,7;PG;" << false;
    QTest::newRow("PLT, the kind changed after loading") << int(K::PLT) << false << plt << QString() << true;
}

// A cutter that is ready again after every page, whatever its word.
static QList<QByteArray> readyAfterEveryPage(const QByteArray& frame)
{
    const QByteArray p = LoopbackCutter::payloadOf(frame);
    if (p.startsWith("PPLT;") || p.startsWith("PLT;") || p.startsWith("QR_PLT;"))
        return {LoopbackCutter::frame("CCMD;4,0;")};
    return {};
}

void tst_JobControl::pageFramesAreThePropertys()
{
    QFETCH(int, kind);
    QFETCH(bool, hostRewrites);
    QFETCH(QString, plt);
    QFETCH(QString, firstPage);
    QFETCH(bool, kindAfterLoad);
    Device d;
    LoopbackCutter cutter;
    cutter.setScript(readyAfterEveryPage);
    QVERIFY(connect(d, cutter));
    KTDeviceProperty* job = d["TASK_PPLT"];
    const auto setKind = [job, kind] {
        job->init(job->value(), job->label(), job->uint(), job->get_cmd_int(), job->set_cmd_int(), job->cmd_len(),
                  K::KTDeviceCMDType(kind), job->param());
    };
    if (!kindAfterLoad)
        setKind();
    const auto hostOf = [hostRewrites](KTDeviceProperty* property) {
        if (!hostRewrites)
            return;
        QObject::connect(property, &KTDeviceProperty::valueChanged, property, [property] {
            const QString page = property->value().toString();
            if (!page.startsWith(QLatin1String("SP1;")))
                property->setValue(QStringLiteral("SP1;") + page);
        });
    };
    hostOf(job);
    d["TASK"]->setValue(record(0, 1, 1, 0));
    d.rv8->setPlt(plt);
    if (kindAfterLoad)
        setKind();
    if (!firstPage.isEmpty())
        job->setValue(firstPage);
    QSignalSpy told(job, &KTDeviceProperty::valueChanged);
    d.rv8->startTask();
    // Every page was answered, so every page frame has arrived.
    QTRY_COMPARE(d.task().value("Finished").toInt(), 1);

    QList<QByteArray> expected;
    KTDeviceProperty model;
    model.init(QString(), QString(), QString(), 0, job->set_cmd_int(), job->cmd_len(), K::KTDeviceCMDType(kind),
               QStringList());
    // The same pages set one by one on a plain property with the same host.
    hostOf(&model);
    QSignalSpy modelTold(&model, &KTDeviceProperty::valueChanged);
    QStringList pages = KTRV8Private::splitPages(plt);
    if (!firstPage.isEmpty())
        pages.first() = firstPage;
    for (const QString& page : qAsConst(pages)) {
        model.setValue(page);
        if (expected.isEmpty())
            modelTold.clear(); // the device's first page was set by setPlt, before its spy
        expected << model.set_cmd_bytes();
    }
    QList<QByteArray> sent;
    for (const QByteArray& frame : cutter.frames())
        if (!LoopbackCutter::payloadOf(frame).startsWith("CCMD;"))
            sent << frame;
    QCOMPARE(sent, expected);
    QCOMPARE(told.count(), modelTold.count());
}

void tst_JobControl::qrcodeJob()
{
    Device d;
    LoopbackCutter cutter;
    cutter.setScript(cutterScript({}));
    QVERIFY(connect(d, cutter));
    d["TASK"]->setValue(record(0, 2, 1, 0));
    d["TASK_MODE"]->setValue(1);
    d["TASK_COPIES"]->setValue(2);
    // The host answers each scanned code with the job that belongs to it.
    QObject::connect(d.rv8.get(), &K::message, d.rv8.get(), [&d](K::KTDeviceMessage kind, QString code) {
        if (kind != K::Qrcode)
            return;
        d.rv8->setPlt(QStringLiteral("LB%1;").arg(code));
        d.rv8->sendCMD(d["TASK_PPLT"]->set_cmd_bytes());
    });
    d.rv8->startTask();
    QTRY_COMPARE(d.task().value("Finished").toInt(), 2);
    QCOMPARE(settle(d, cutter), (QStringList{"CCMD;1003,0;", "CCMD;1000,1;", "CCMD;11;", "PPLT;LBQR-0001;PG;",
                                             "CCMD;11;", "PPLT;LBQR-0001;PG;"}));
    QCOMPARE(d.codes, (QStringList{"QR-0001", "QR-0001"}));
    QCOMPARE(d.task(), record(2, 2, 0, 100));
}

void tst_JobControl::pauseResumeStop()
{
    Device d;
    LoopbackCutter cutter;
    CutterRules manual;
    manual.answerPages = false;
    cutter.setScript(cutterScript(manual));
    QVERIFY(connect(d, cutter));
    d["TASK"]->setValue(record(0, 2, 1, 0));
    d["TASK_COPIES"]->setValue(2);
    d.rv8->setPlt(QString::fromLatin1(ThreePages));
    d.rv8->startTask();
    QCOMPARE(settle(d, cutter), (QStringList{"CCMD;1003,0;", "CCMD;1000,1;", "PPLT;IN;PU0,0;PD10,10;PG;"}));

    d.jobMessages.clear();
    d.rv8->sendCMD(d["TASK_PAUSE"]->set_cmd_bytes());
    QTRY_COMPARE(d.jobMessages, QStringList{"PAUSE"});
    d.rv8->sendCMD(d["TASK_RESUME"]->set_cmd_bytes());
    QTRY_COMPARE(d.jobMessages, (QStringList{"PAUSE", "RESUME"}));
    cutter.send(LoopbackCutter::frame("CCMD;4,0;"));
    QTRY_COMPARE(KTRV8Private::pageIndex(*d.rv8), 1);
    QCOMPARE(settle(d, cutter), (QStringList{"CCMD;27,0;", "CCMD;27,1;", "PPLT;PU5,5;PD20,0;PG;"}));

    d.rv8->sendCMD(d["TASK_STOP"]->set_cmd_bytes());
    QTRY_COMPARE(d.task().value("Finished").toInt(), 1);
    QCOMPARE(d.task(), record(1, 2, 0, 0));
    QCOMPARE(d.jobMessages, (QStringList{"PAUSE", "RESUME", ""}));
    // The cutter's answer to the page in hand arrives after the stop: nothing follows.
    cutter.send(LoopbackCutter::frame("CCMD;4,0;") + LoopbackCutter::frame("CCMD;51,0,V2.1;"));
    QTRY_COMPARE(d["FIRMWARE"]->value().toString(), QString("V2.1"));
    QCOMPARE(settle(d, cutter), QStringList{"CCMD;27,2;"});
    QCOMPARE(d.task(), record(1, 2, 0, 0));
    QCOMPARE(d.jobMessages.size(), 3);
}

void tst_JobControl::deviceInitiatedStop()
{
    Device d;
    LoopbackCutter cutter;
    QVERIFY(connect(d, cutter));
    d.rv8->setPlt(QString::fromLatin1(ThreePages));
    d["TASK"]->setValue(record(0, 1, 1, 0));
    cutter.send(LoopbackCutter::frame("CCMD;1001,0;"));
    QTRY_COMPARE(d.jobMessages, QStringList{"STOP"});
    QCOMPARE(d.task(), record(0, 1, 1, 0));
    QCOMPARE(settle(d, cutter), QStringList{});
}

void tst_JobControl::finishedTaskIgnoresCopies()
{
    Device d;
    LoopbackCutter cutter;
    QVERIFY(connect(d, cutter));
    d.rv8->setPlt(QStringLiteral("A;PG;"));
    d["TASK"]->setValue(record(0, 2, 1, 0));
    d.rv8->startTask();
    QCOMPARE(settle(d, cutter), (QStringList{"CCMD;1000,1;", "PPLT;A;PG;", "CCMD;4;"}));
    d.rv8->stopTask(); // the host closes the task: nothing is ordered any more
    QCOMPARE(d.task().value("TaskCopies").toInt(), 0);
    d.jobMessages.clear();
    cutter.send(LoopbackCutter::frame("CCMD;4,0;"));
    QTRY_COMPARE(d.jobMessages, QStringList{""});
    QCOMPARE(d.task().value("Status").toInt(), 0);
    QCOMPARE(d.task().value("Percent").toInt(), 100);
    QCOMPARE(d.task().value("Finished").toInt(), 0);
    QCOMPARE(settle(d, cutter), QStringList{});
}

// A job without a page: startTask sends nothing (no empty page frame) and begins no task, so
// the cutter's next readiness reply counts no copy.
void tst_JobControl::emptyJobStartsNothing()
{
    Device d;
    LoopbackCutter cutter;
    QVERIFY(connect(d, cutter));
    d["TASK"]->setValue(record(0, 1, 1, 0));
    d["TASK_COPIES"]->setValue(2);
    d.rv8->setPlt(QStringLiteral("PG;"));
    d.rv8->startTask();
    QCOMPARE(settle(d, cutter), QStringList{});
    QVERIFY(!d["TASK_START_TIME"]);
    cutter.send(LoopbackCutter::frame("CCMD;4,0;") + LoopbackCutter::frame("CCMD;51,0,V3;"));
    QTRY_COMPARE(d["FIRMWARE"]->value().toString(), QString("V3"));
    QCOMPARE(d.task(), record(0, 1, 1, 0));
    QCOMPARE(d.jobMessages, QStringList{});
}
