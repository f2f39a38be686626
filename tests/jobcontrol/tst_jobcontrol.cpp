// Cutting a job into pages, loading it, and the job step fed straight into the decoder.
#include "jobcontrol.h"
#include "ktrv8_p.h"

#include <QSignalSpy>
#include <QtTest>

bool tst_JobControl::connect(Device& device, LoopbackCutter& cutter)
{
    device.rv8->setIPAddress(QStringLiteral("127.0.0.1"));
    device["TCP_PORT"]->setValue(int(cutter.port()));
    QSignalSpy status(device["STATUS"], &KTDeviceProperty::valueChanged);
    if (!device.rv8->connectDevice() || !cutter.waitForConnection())
        return false;
    while (device["STATUS"]->value().toInt() != K::Working && status.wait(5000)) {
    }
    return device["STATUS"]->value().toInt() == K::Working;
}

QStringList tst_JobControl::settle(Device& device, LoopbackCutter& cutter)
{
    const QByteArray marker = device["FIRMWARE"]->get_cmd_bytes();
    QSignalSpy arrived(&cutter, &LoopbackCutter::frameReceived);
    device.rv8->sendCMD(marker);
    while (!(cutter.frames().size() && cutter.frames().last() == marker) && arrived.wait(5000)) {
    }
    QStringList sent = cutter.payloads();
    cutter.clearFrames();
    if (sent.isEmpty() || sent.takeLast() != QLatin1String("CCMD;51;"))
        sent << QStringLiteral("<marker missing>");
    return sent;
}

void tst_JobControl::splitPages_data()
{
    QTest::addColumn<QString>("plt");
    QTest::addColumn<QStringList>("pages");
    QTest::newRow("two closed pages") << "IN;PD1,1;PG;PD2,2;PG;" << QStringList{"IN;PD1,1;PG;", "PD2,2;PG;"};
    QTest::newRow("no marker") << "IN;PD1,1;" << QStringList{"IN;PD1,1;PG;"};
    QTest::newRow("text after the last marker") << "A;PG;B;" << QStringList{"A;PG;", "B;PG;"};
    QTest::newRow("only a marker") << "PG;" << QStringList{};
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("empty pages dropped") << "PG;PG;A;PG;PG;;PG;" << QStringList{"A;PG;", ";PG;"};
    QTest::newRow("case-sensitive") << "A;pg;B;" << QStringList{"A;pg;B;PG;"};
    QTest::newRow("marker inside a longer run") << "PPG;G;" << QStringList{"PPG;", "G;PG;"};
    QTest::newRow("incomplete marker at the end") << "A;PG" << QStringList{"A;PGPG;"};
    QTest::newRow("non-ASCII label") << QString::fromUtf8("LB文字;PG;") << QStringList{QString::fromUtf8("LB文字;PG;")};
}

void tst_JobControl::splitPages()
{
    QFETCH(QString, plt);
    QFETCH(QStringList, pages);
    QCOMPARE(KTRV8Private::splitPages(plt), pages);
}

void tst_JobControl::setPltLoadsFirstPage()
{
    Device d;
    int changes = 0;
    QObject::connect(d["TASK_PPLT"], &KTDeviceProperty::valueChanged, [&] { ++changes; });
    d.rv8->setPlt(QString::fromLatin1(ThreePages));
    QCOMPARE(KTRV8Private::pages(*d.rv8).size(), 3);
    QCOMPARE(KTRV8Private::pageIndex(*d.rv8), 0);
    QCOMPARE(d["TASK_PPLT"]->value().toString(), QString("IN;PU0,0;PD10,10;PG;"));
    QCOMPARE(changes, 1);
    // The job property holds the page itself, not a copy of it.
    QCOMPARE(d["TASK_PPLT"]->value().toString().constData(), KTRV8Private::pages(*d.rv8).first().constData());
    QCOMPARE(LoopbackCutter::payloadOf(d["TASK_PPLT"]->set_cmd_bytes()), QByteArray("PPLT;IN;PU0,0;PD10,10;PG;"));

    // A new job replaces the old one and starts again at its first page.
    d.rv8->startTask();
    d.rv8->decode_cmd(replyFrame("CCMD;4,0;"));
    QCOMPARE(KTRV8Private::pageIndex(*d.rv8), 1);
    d.rv8->setPlt(QStringLiteral("B;PG;"));
    QCOMPARE(KTRV8Private::pages(*d.rv8), QStringList{"B;PG;"});
    QCOMPARE(KTRV8Private::pageIndex(*d.rv8), 0);
    QCOMPARE(d["TASK_PPLT"]->value().toString(), QString("B;PG;"));
}

void tst_JobControl::setPltWithoutPageEmptiesJob()
{
    Device d;
    d.rv8->setPlt(QStringLiteral("A;PG;"));
    d.rv8->setPlt(QStringLiteral("PG;PG;"));
    QVERIFY(KTRV8Private::pages(*d.rv8).isEmpty());
    QCOMPARE(d["TASK_PPLT"]->value().toString(), QString());
    QCOMPARE(d["TASK_PPLT"]->value().userType(), int(QMetaType::QString));
}

void tst_JobControl::setPltWithoutJobProperty()
{
    KTRV8 bare; // the plug-in object itself holds no parameters
    bare.setPlt(QStringLiteral("A;PG;B;PG;"));
    QCOMPARE(KTRV8Private::pages(bare).size(), 2);
    bare.decode_cmd(replyFrame("CCMD;4,0;"));
    bare.decode_cmd(replyFrame("CCMD;4,0;"));
    bare.decode_cmd(replyFrame("CCMD;27,0,2;"));
    QCOMPARE(bare.dynamicPropertyNames().size(), 0);
}

// Replies fed straight into the decoder of an unconnected device whose job has been started:
// the task record, the messages and the page position after them. A step "load:<text>" is
// the host loading a new job at that point, "host:<key>" the host sending that command, and
// "start" the host starting the job.
void tst_JobControl::jobStep_data()
{
    QTest::addColumn<QString>("plt");
    QTest::addColumn<QJsonObject>("before");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QJsonObject>("after");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("pageIndex");
    QTest::addColumn<QString>("jobPage");

    const QString three = QString::fromLatin1(ThreePages);
    const QString page1 = "IN;PU0,0;PD10,10;PG;", page2 = "PU5,5;PD20,0;PG;", page3 = "PU0,0;PD0,30;PG;";
    QTest::newRow("page remains") << three << record(0, 2, 1, 10) << QStringList{"CCMD;4,0;"} << record(0, 2, 1, 10)
                                  << QStringList{} << 1 << page2;
    QTest::newRow("last page of a copy, copies outstanding")
        << three << record(0, 2, 1, 10) << QStringList{"CCMD;4,0;", "CCMD;4,0;", "CCMD;4,0;"} << record(1, 2, 1, 10)
        << QStringList{""} << 3 << page3;
    QTest::newRow("last copy") << "A;PG;" << record(1, 2, 1, 60) << QStringList{"CCMD;4,0;"} << record(2, 2, 0, 100)
                               << QStringList{""} << 1 << "A;PG;";
    QTest::newRow("nothing ordered") << "A;PG;" << record(0, 0, 1, 30) << QStringList{"CCMD;4,0;"}
                                     << record(0, 0, 0, 100) << QStringList{""} << 1 << "A;PG;";
    QTest::newRow("more done than ordered") << "A;PG;" << record(3, 2, 1, 30) << QStringList{"CCMD;4,0;"}
                                            << record(3, 2, 0, 100) << QStringList{""} << 1 << "A;PG;";
    QTest::newRow("status failed") << three << record(0, 1, 1, 0) << QStringList{"CCMD;4,1;"} << record(0, 1, 1, 0)
                                   << QStringList{} << 0 << page1;
    QTest::newRow("pause") << three << record(0, 1, 1, 0) << QStringList{"CCMD;27,0,0;"} << record(0, 1, 1, 0)
                           << QStringList{"PAUSE"} << 0 << page1;
    QTest::newRow("resume") << three << record(0, 1, 1, 0) << QStringList{"CCMD;27,0,1;"} << record(0, 1, 1, 0)
                            << QStringList{"RESUME"} << 0 << page1;
    QTest::newRow("unknown control value") << three << record(0, 1, 1, 0) << QStringList{"CCMD;27,0,9;"}
                                           << record(0, 1, 1, 0) << QStringList{""} << 0 << page1;
    QTest::newRow("control without value is a pause") << three << record(0, 1, 1, 0) << QStringList{"CCMD;27,0;"}
                                                      << record(0, 1, 1, 0) << QStringList{"PAUSE"} << 0 << page1;
    QTest::newRow("control refused") << three << record(0, 1, 1, 0) << QStringList{"CCMD;27,5,2;"} << record(0, 1, 1, 0)
                                     << QStringList{} << 0 << page1;
    QTest::newRow("stop abandons pages, copies outstanding")
        << three << record(0, 3, 1, 20) << QStringList{"CCMD;27,0,2;"} << record(1, 3, 0, 20) << QStringList{""} << 3
        << page1;
    QTest::newRow("stop in the last copy") << three << record(1, 2, 1, 20) << QStringList{"CCMD;27,0,2;"}
                                           << record(2, 2, 0, 100) << QStringList{""} << 3 << page1;
    QTest::newRow("status after a stop is ignored")
        << three << record(0, 3, 1, 20) << QStringList{"CCMD;4,0;", "CCMD;27,0,2;", "CCMD;4,0;", "CCMD;4,0;"}
        << record(1, 3, 0, 20) << QStringList{""} << 3 << page2;
    QTest::newRow("stop confirmed three times counts once")
        << three << record(0, 3, 1, 20) << QStringList{"CCMD;27,0,2;", "CCMD;27,0,2;", "CCMD;27,0,2;"}
        << record(1, 3, 0, 20) << QStringList{""} << 3 << page1;
    QTest::newRow("status after the last copy is ignored")
        << "A;PG;" << record(1, 2, 1, 60) << QStringList{"CCMD;4,0;", "CCMD;4,0;", "CCMD;27,0,2;"}
        << record(2, 2, 0, 100) << QStringList{""} << 1 << "A;PG;";
    QTest::newRow("job loaded after a stop waits for its start")
        << three << record(0, 3, 1, 20) << QStringList{"CCMD;27,0,2;", "load:B;PG;C;PG;", "CCMD;4,0;"}
        << record(1, 3, 0, 20) << QStringList{""} << 0 << "B;PG;";
    QTest::newRow("job loaded while one runs waits for its start")
        << three << record(0, 1, 1, 0) << QStringList{"load:B;PG;C;PG;", "CCMD;4,0;", "CCMD;27,0,2;"}
        << record(0, 1, 1, 0) << QStringList{} << 0 << "B;PG;";
    QTest::newRow("page ready between the host's stop and its answer")
        << three << record(0, 3, 1, 20) << QStringList{"host:TASK_STOP", "CCMD;4,0;", "CCMD;27,0,2;"}
        << record(1, 3, 0, 20) << QStringList{""} << 3 << page1;
    QTest::newRow("page ready while paused waits for the resume")
        << three << record(0, 1, 1, 0) << QStringList{"host:TASK_PAUSE", "CCMD;4,0;", "CCMD;27,0,0;"}
        << record(0, 1, 1, 0) << QStringList{"PAUSE"} << 0 << page1;
    QTest::newRow("a job started after a stop is not held")
        << three << record(0, 3, 1, 20)
        << QStringList{"host:TASK_STOP", "CCMD;27,0,2;", "load:B;PG;C;PG;", "start", "CCMD;4,0;"} << record(1, 3, 0, 20)
        << QStringList{"", ""} << 1 << "C;PG;";
    QTest::newRow("device stop") << three << record(0, 1, 1, 0) << QStringList{"CCMD;1001,0;"} << record(0, 1, 1, 0)
                                 << QStringList{"STOP"} << 0 << page1;
    QTest::newRow("device stop, any result") << three << record(0, 1, 1, 0) << QStringList{"CCMD;1001,7;"}
                                             << record(0, 1, 1, 0) << QStringList{"STOP"} << 0 << page1;
    QTest::newRow("single field dropped")
        << three << record(0, 1, 1, 0) << QStringList{"CCMD;4;"} << record(0, 1, 1, 0) << QStringList{} << 0 << page1;
    QTest::newRow("status code in a CMD frame") << three << record(0, 1, 1, 0) << QStringList{"CMD;GET4:0;"}
                                                << record(0, 1, 1, 0) << QStringList{} << 0 << page1;
}

void tst_JobControl::jobStep()
{
    QFETCH(QString, plt);
    QFETCH(QJsonObject, before);
    QFETCH(QStringList, replies);
    QFETCH(QJsonObject, after);
    QFETCH(QStringList, messages);
    QFETCH(int, pageIndex);
    QFETCH(QString, jobPage);

    Device d;
    d.rv8->setPlt(plt);
    d["TASK"]->setValue(before);
    d.rv8->startTask();
    d.jobMessages.clear();
    for (const QString& reply : replies) {
        if (reply.startsWith(QLatin1String("load:")))
            d.rv8->setPlt(reply.mid(5));
        else if (reply.startsWith(QLatin1String("host:")))
            d.rv8->sendCMD(d[reply.mid(5).toLatin1().constData()]->set_cmd_bytes());
        else if (reply == QLatin1String("start"))
            d.rv8->startTask();
        else
            d.rv8->decode_cmd(replyFrame(reply.toLatin1().constData()));
    }
    QCOMPARE(d.task(), after);
    QCOMPARE(d.jobMessages, messages);
    QCOMPARE(KTRV8Private::pageIndex(*d.rv8), pageIndex);
    QCOMPARE(d["TASK_PPLT"]->value().toString(), jobPage);
}

void tst_JobControl::moveScalesSteps()
{
    Device d;
    LoopbackCutter cutter;
    QVERIFY(connect(d, cutter));
    d.rv8->move(10, -5);
    QCOMPARE(d["MOVE"]->value(), QVariant(QStringLiteral("0,0,800,-400")));
    d.rv8->move(0, 1);
    QCOMPARE(settle(d, cutter), (QStringList{"CCMD;65,0,0,800,-400;", "CCMD;65,0,0,0,80;"}));
}
QTEST_MAIN(tst_JobControl)
