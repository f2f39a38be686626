// Faults of the line: the peer closes, resets or falls silent, the USB node vanishes.
#include "faultmatrix.h"

#include "faultpeers.h"
#include "ktrv8_p.h"
#include "pseudoterminal.h"
#include <QNetworkReply>

#include <QHash>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTimer>

void tst_FaultMatrix::initTestCase()
{
    qRegisterMetaType<K::KTDeviceMessage>("KTDeviceMessage");
    // Spies on the network manager's finished signal record its reply argument.
    qRegisterMetaType<QNetworkReply*>();
}

// Half a reply, then the line drops: the half must never combine with later bytes into a
// value, and the next connection works.
void tst_FaultMatrix::peerClosesMidFrame()
{
    Rig rig;
    LoopbackCutter cutter;
    QVERIFY(connectTcp(rig, cutter.port()));
    QVERIFY(cutter.waitForConnection());
    const QByteArray firmware = ccmd("51,0,V9.9.9;");
    cutter.send(firmware.left(firmware.size() / 2));
    QVERIFY(waitFor([&] { return rig.pending() == firmware.left(firmware.size() / 2); }));
    cutter.dropClient();
    QVERIFY(waitDisconnected(rig, "TCP DISCONNECTED."));
    QCOMPARE(rig["FIRMWARE"]->value().toString(), QString());

    QCOMPARE(reconnectAndRunJob(rig, cutter), QString());
    QCOMPARE(rig["FIRMWARE"]->value().toString(), QString());
    cutter.send(ccmd("51,0,V2.0.1;"));
    QTRY_COMPARE(rig["FIRMWARE"]->value().toString(), QString("V2.0.1"));
}

// The line drops (closed or reset) while a large page is on its way. The job stays loaded as
// it was; once reconnected, restarting sends the same first page whole and the job runs through.
void tst_FaultMatrix::peerClosesMidPage_data()
{
    QTest::addColumn<bool>("reset");
    QTest::newRow("peer closes") << false;
    QTest::newRow("peer resets") << true;
}

void tst_FaultMatrix::peerClosesMidPage()
{
    QFETCH(bool, reset);
    Rig rig;
    RawPeer peer;
    QVERIFY(connectTcp(rig, peer.port()));
    QVERIFY(waitFor([&] { return peer.isConnected(); }));
    QString bigPage = QStringLiteral("IN;");
    for (int i = 0; i < 40000; ++i)
        bigPage += QStringLiteral("PD%1,%2;").arg(i % 4000).arg(i / 10);
    const QString job = bigPage + QStringLiteral("PG;PU0,0;PD1,1;PG;");
    peer.onBytes = [reset](RawPeer& p) {
        if (p.bytes().size() > 1000)
            reset ? p.reset() : p.close();
    };
    rig.device->setPlt(job);
    const QStringList pages = KTRV8Private::pages(*rig.device);
    rig.device->startTask();
    QVERIFY(waitDisconnected(rig, "TCP DISCONNECTED."));
    QCOMPARE(KTRV8Private::pages(*rig.device), pages);
    QCOMPARE(KTRV8Private::pageIndex(*rig.device), 0);

    LoopbackCutter cutter;
    cutter.setScript(acknowledgingCutter());
    QVERIFY(connectTcp(rig, cutter.port()));
    QVERIFY(cutter.waitForConnection());
    cutter.send(rig.taskReport(1));
    QTRY_COMPARE(rig.task().value("TaskCopies").toInt(), 1);
    rig.device->startTask();
    QTRY_COMPARE(rig.task().value("Finished").toInt(), 1);
    const QStringList got = cutter.payloads().filter(QRegularExpression("^PPLT;"));
    QCOMPARE(got, (QStringList{"PPLT;" + pages.at(0), "PPLT;" + pages.at(1)}));
}

// The line drops right after the first of two copies: the finished copy stays counted and the
// second completes after reconnecting.
void tst_FaultMatrix::peerClosesMidCopy()
{
    Rig rig;
    LoopbackCutter cutter;
    QVERIFY(connectTcp(rig, cutter.port()));
    QVERIFY(cutter.waitForConnection());
    cutter.send(rig.taskReport(2));
    QTRY_COMPARE(rig.task().value("TaskCopies").toInt(), 2);
    cutter.setScript([&cutter](const QByteArray& frame) -> QList<QByteArray> {
        const QByteArray p = LoopbackCutter::payloadOf(frame);
        if (p.startsWith("PPLT;"))
            return {LoopbackCutter::frame("CCMD;4,0;")};
        if (p == "CCMD;30,1;")
            QMetaObject::invokeMethod(
                &cutter, [&cutter] { cutter.dropClient(); }, Qt::QueuedConnection);
        return {};
    });
    rig.device->setPlt(QString::fromLatin1(OnePage));
    rig.device->startTask();
    QVERIFY(waitDisconnected(rig, "TCP DISCONNECTED."));
    QCOMPARE(rig.task().value("Finished").toInt(), 1);
    QCOMPARE(rig.task().value("TaskCopies").toInt(), 2);

    QVERIFY(connectTcp(rig, cutter.port()));
    QVERIFY(cutter.waitForConnection());
    cutter.send(ccmd("4,0;")); // the cutter finished the repeated copy
    QTRY_COMPARE(rig.task().value("Finished").toInt(), 2);
    QCOMPARE(rig.task().value("Percent").toInt(), 100);
    QCOMPARE(runOnePageJob(rig, cutter), QString());
}

// A cutter that takes the page and never answers: the device waits without blocking anything,
// keeps the job where it was, and goes on once the cutter speaks.
void tst_FaultMatrix::peerNeverAnswers()
{
    Rig rig;
    LoopbackCutter cutter;
    QVERIFY(connectTcp(rig, cutter.port()));
    QVERIFY(cutter.waitForConnection());
    cutter.send(rig.taskReport(1));
    QTRY_COMPARE(rig.task().value("TaskCopies").toInt(), 1);
    rig.device->setPlt(QString::fromLatin1(ThreePages));
    rig.device->startTask();
    QVERIFY(cutter.waitForFrames(2));
    // Still responsive: a request sent now arrives behind the page.
    const QByteArray marker = rig["FIRMWARE"]->get_cmd_bytes();
    rig.device->sendCMD(marker);
    QVERIFY(waitFor([&] { return cutter.frames().contains(marker); }));
    QCOMPARE(KTRV8Private::pageIndex(*rig.device), 0);
    QCOMPARE(rig.task().value("Finished").toInt(), 0);
    QCOMPARE(rig.status(), int(K::Working));

    cutter.setScript(acknowledgingCutter());
    cutter.send(ccmd("4,0;"));
    QTRY_COMPARE(rig.task().value("Finished").toInt(), 1);
    QCOMPARE(cutter.payloads().filter(QRegularExpression("^PPLT;")).size(), 3);
}

void tst_FaultMatrix::closedPort()
{
    Rig rig;
    quint16 closed;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        closed = probe.serverPort();
    }
    rig.device->setIPAddress(QStringLiteral("127.0.0.1"));
    rig["TCP_PORT"]->setValue(int(closed));
    QVERIFY(rig.device->connectDevice());
    QVERIFY(waitDisconnected(rig, "TCP DISCONNECTED."));
    QVERIFY(!rig.texts(K::DevStatus).contains("TCP CONNECTED."));

    LoopbackCutter cutter;
    QCOMPARE(reconnectAndRunJob(rig, cutter), QString());
}

// The USB node disappears between two pages. The job is kept; on a new node the restarted job
// delivers every page once, in order.
void tst_FaultMatrix::usbNodeVanishesMidJob()
{
    Rig rig;
    auto first = std::make_unique<PseudoTerminal>();
    PtyCutter firstCutter(*first);
    int pagesSeen = 0;
    firstCutter.onFrame = [&](const QByteArray& frame) {
        if (LoopbackCutter::payloadOf(frame).startsWith("PPLT;") && ++pagesSeen == 2)
            QMetaObject::invokeMethod(
                first.get(), [&] { first->hangUp(); }, Qt::QueuedConnection);
    };
    rig.device->setUSBPath(first->slavePath());
    QVERIFY(rig.device->connectDevice());
    QVERIFY(waitFor([&] { return rig.status() == K::Working; }));
    QVERIFY(first->write(rig.taskReport(1)));
    QTRY_COMPARE(rig.task().value("TaskCopies").toInt(), 1);
    rig.device->setPlt(QString::fromLatin1(ThreePages));
    const QStringList pages = KTRV8Private::pages(*rig.device);
    rig.device->startTask();
    QVERIFY(waitDisconnected(rig, "USB DISCONNECTED."));
    QCOMPARE(KTRV8Private::pages(*rig.device), pages);
    QCOMPARE(rig.task().value("Finished").toInt(), 0);

    PseudoTerminal second;
    PtyCutter secondCutter(second);
    rig.device->setUSBPath(second.slavePath());
    QVERIFY(rig.device->connectDevice());
    QVERIFY(waitFor([&] { return rig.status() == K::Working; }));
    rig.device->setPlt(QString::fromLatin1(ThreePages));
    rig.device->startTask();
    QTRY_COMPARE(rig.task().value("Finished").toInt(), 1);
    QStringList got;
    for (const QByteArray& frame : secondCutter.frames) {
        if (LoopbackCutter::payloadOf(frame).startsWith("PPLT;"))
            got << QString::fromLatin1(LoopbackCutter::payloadOf(frame).mid(5));
    }
    QCOMPARE(got, pages);
}

// The host stops or pauses while the cutter works on page 1 of 3, and the cutter reports the
// page done before it answers (or refuses). Each step is a command of the host, then "|" and
// the cutter's replies to it; `sent` is every frame the cutter got after the first page.
void tst_FaultMatrix::pagesHeldUntilAnswered_data()
{
    QTest::addColumn<bool>("usb");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<int>("finished");
    const QString page2 = "PPLT;PU5,5;PD20,0;PG;";
    for (bool usb : {false, true}) {
        const char* link = usb ? "usb" : "tcp";
        QTest::addRow("%s: page done between stop and its answer", link)
            << usb << QStringList{"TASK_STOP|4,0;|27,0,2;"} << QStringList{"CCMD;27,2;"} << 1;
        QTest::addRow("%s: page done while paused goes on resume", link)
            << usb << QStringList{"TASK_PAUSE|4,0;|27,0,0;", "TASK_RESUME|27,0,1;"}
            << QStringList{"CCMD;27,0;", "CCMD;27,1;", page2} << 0;
    }
    QTest::newRow("tcp: stop while paused") << false << QStringList{"TASK_PAUSE|27,0,0;|4,0;", "TASK_STOP|27,0,2;"}
                                            << QStringList{"CCMD;27,0;", "CCMD;27,2;"} << 1;
    QTest::newRow("tcp: pause refused") << false << QStringList{"TASK_PAUSE|4,0;|27,1,0;"}
                                        << QStringList{"CCMD;27,0;", page2} << 0;
    QTest::newRow("tcp: resume refused") << false << QStringList{"TASK_PAUSE|4,0;|27,0,0;", "TASK_RESUME|27,1,1;"}
                                         << QStringList{"CCMD;27,0;", "CCMD;27,1;"} << 0;
}

void tst_FaultMatrix::pagesHeldUntilAnswered()
{
    QFETCH(bool, usb);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, sent);
    QFETCH(int, finished);
    Rig rig;
    LoopbackCutter cutter;
    PseudoTerminal pty;
    PtyCutter ptyCutter(pty);
    ptyCutter.answerPages = false;
    QHash<QByteArray, QByteArray> answers; // by the payload of the host's command
    const auto answerTo = [&answers](const QByteArray& frame) {
        const QByteArray answer = answers.value(LoopbackCutter::payloadOf(frame));
        return answer.isEmpty() ? QList<QByteArray>() : QList<QByteArray>{answer};
    };
    cutter.setScript(answerTo);
    ptyCutter.onFrame = [&](const QByteArray& frame) {
        for (const QByteArray& answer : answerTo(frame)) // written from the event loop, as PtyCutter does
            QTimer::singleShot(0, &pty, [&pty, answer] { pty.write(answer); });
    };
    const auto log = [&] {
        QStringList payloads;
        for (const QByteArray& frame : usb ? ptyCutter.frames : cutter.frames())
            payloads << QString::fromLatin1(LoopbackCutter::payloadOf(frame));
        return payloads.mid(2); // the mark type and page 1
    };
    if (usb) {
        rig.device->setUSBPath(pty.slavePath());
        QVERIFY(rig.device->connectDevice() && waitFor([&] { return rig.status() == K::Working; }));
    } else {
        QVERIFY(connectTcp(rig, cutter.port()));
    }
    rig["TASK"]->setValue(QJsonObject{{"Finished", 0}, {"TaskCopies", 2}, {"Status", 1}, {"Percent", 0}});
    rig.device->setPlt(QString::fromLatin1(ThreePages));
    rig.device->startTask();
    for (int i = 0; i < steps.size(); ++i) {
        QStringList replies = steps.at(i).split(QLatin1Char('|'));
        const QByteArray command = rig[replies.takeFirst().toLatin1().constData()]->set_cmd_bytes();
        const QByteArray marker = "step" + QByteArray::number(i);
        QByteArray answer;
        for (const QString& reply : replies)
            answer += ccmd(reply.toLatin1());
        // The firmware reply last: once the device shows it, it has read all the cutter said.
        answers[LoopbackCutter::payloadOf(command)] = answer + ccmd("51,0," + marker + ";");
        rig.device->sendCMD(command);
        QVERIFY(waitFor([&] { return rig["FIRMWARE"]->value().toString() == marker; }));
    }
    const QByteArray probe = rig["FIRMWARE"]->get_cmd_bytes(); // arrives after all sent before
    rig.device->sendCMD(probe);
    QVERIFY(waitFor([&] { return log().endsWith(QString::fromLatin1(LoopbackCutter::payloadOf(probe))); }));
    QCOMPARE(log().mid(0, log().size() - 1), sent);
    QCOMPARE(rig.task().value("Finished").toInt(), finished);
}

QTEST_MAIN(tst_FaultMatrix)
