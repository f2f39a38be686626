// What a job leaves besides the pages: the debug line, the start time, the cloud's task
// state, and what loading a large job costs.
#include "jobcontrol.h"
#include "ktcommoninterface_p.h"
#include "ktrv8_p.h"
#include "nimbracloud.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QWebSocket>
#include <QWebSocketServer>
#include <QtTest>

#include <malloc.h>
#include <time.h>

#include <limits>

namespace {

QStringList loggedLines; // "category: text" of every debug line while a test captures them

void captureDebug(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtDebugMsg)
        loggedLines << QStringLiteral("%1: %2").arg(QLatin1String(context.category), text);
}

} // namespace

// A host keeps or silences the driver's lines by category (QT_LOGGING_RULES); they still
// reach the message handler a host installs.
void tst_JobControl::debugLineHasItsCategory()
{
    Device d;
    d.rv8->setPlt(QStringLiteral("IN;PU0,0;PD1,1;PG;"));
    loggedLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureDebug);
    d.rv8->startTask();
    QLoggingCategory::setFilterRules(QStringLiteral("kt.rv8.debug=false"));
    d.rv8->startTask();
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);
    QCOMPARE(loggedLines.size(), 1);
    QVERIFY2(loggedLines.first().startsWith(QLatin1String("kt.rv8: KTRV8::startTask")),
             qPrintable(loggedLines.first()));
}

void tst_JobControl::startTimeCreatedOnce()
{
    Device d;
    QVERIFY(!d["TASK_START_TIME"]);
    d.rv8->setPlt(QStringLiteral("A;PG;"));
    const QDateTime before = QDateTime::currentDateTime();
    d.rv8->startTask();
    KTDeviceProperty* started = d["TASK_START_TIME"];
    QVERIFY(started);
    QCOMPARE(started->label(), QString());
    QCOMPARE(started->cmd_type(), K::UnCMD);
    QVERIFY(started->get_cmd_bytes().isEmpty() && started->set_cmd_bytes().isEmpty());
    QVERIFY(!started->property("WIDGET").isValid());
    QVERIFY(started->value().toDateTime() >= before.addMSecs(-1));
    QCOMPARE(d.jobMessages, QStringList{""});

    d.rv8->stopTask();
    QVERIFY(!started->value().toDateTime().isValid());
    d.rv8->startTask();
    QCOMPARE(d["TASK_START_TIME"], started);
    QVERIFY(started->value().toDateTime().isValid());
}

// Every change of the task record reaches the cloud channel as a task-state message.
void tst_JobControl::cloudSeesEveryTaskChange()
{
    QWebSocketServer channel(QStringLiteral("cloud"), QWebSocketServer::NonSecureMode);
    QVERIFY(channel.listen(QHostAddress::LocalHost));
    QList<QJsonObject> runtime;
    QString path;
    QObject::connect(&channel, &QWebSocketServer::newConnection, &channel, [&] {
        QWebSocket* socket = channel.nextPendingConnection();
        socket->setParent(&channel); // the server does not own what it hands out
        path = socket->requestUrl().path();
        QObject::connect(socket, &QWebSocket::textMessageReceived, socket, [&](const QString& text) {
            QJsonObject state = QJsonDocument::fromJson(text.toUtf8()).object();
            QCOMPARE(state.value("sender").toString(), QString("Device"));
            runtime << state.value("message").toObject().value("Runtime").toObject();
        });
    });
    // No HTTP service answers: registration fails quietly and is not retried during the test.
    NimbraCloud client(QUrl(QStringLiteral("http://127.0.0.1:9/")),
                       QStringLiteral("ws://127.0.0.1:%1/").arg(channel.serverPort()));
    Device d;
    LoopbackCutter cutter;
    cutter.setScript(cutterScript({}));
    QVERIFY(connect(d, cutter));
    KTCommonInterfacePrivate::setCloudRetryInterval(*d.rv8, 10 * 60 * 1000);
    d.rv8->setNimbraCloud(&client, QStringLiteral("KT0001"));
    d.rv8->connect_websocket();
    QTRY_VERIFY(d.status.contains(QStringLiteral("WEB SOCKET CONNECTED.")));
    QCOMPARE(path, QString("/KT0001/Device/"));

    d["TASK"]->setValue(record(0, 2, 1, 0));
    d.rv8->setPlt(QString::fromLatin1(ThreePages));
    d.rv8->startTask();
    QTRY_COMPARE(d.task().value("Finished").toInt(), 2);
    QTRY_COMPARE(runtime.size(), 3);
    settle(d, cutter);
    QCOMPARE(runtime.size(), 3);
    for (QJsonObject& state : runtime) {
        QVERIFY(state.contains("FilePreview"));
        state.remove("FilePreview");
    }
    QCOMPARE(runtime, (QList<QJsonObject>{record(0, 2, 1, 0), record(1, 2, 1, 0), record(2, 2, 0, 100)}));
}

namespace {

// Bytes the allocator hands out at this moment, heap and mapped blocks together.
qint64 heldBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks) + qint64(info.hblkhd);
}

// A job of 1000 pages of about equal length.
QString jobOfSize(int megabytes)
{
    const QString stroke = QStringLiteral("PD1234,5678;");
    const int perPage = megabytes * 1000 * 1000 / 1000 / stroke.size();
    const QString page = stroke.repeated(perPage) + QStringLiteral("PG;");
    return page.repeated(1000);
}

// CPU time of this thread: other processes on a busy machine do not count against it.
qint64 threadNanos()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

} // namespace

void tst_JobControl::setPltScalesLinearly_data()
{
    QTest::addColumn<int>("smallMB");
    QTest::addColumn<int>("largeMB");
    QTest::newRow("2 MB to 32 MB") << 2 << 32;
}

// Loading a job costs one copy of its text and time in proportion to its length.
void tst_JobControl::setPltScalesLinearly()
{
    QFETCH(int, smallMB);
    QFETCH(int, largeMB);
    Device d;
    qint64 best[2] = {0, 0};
    const int sizes[2] = {smallMB, largeMB};
    for (int i = 0; i < 2; ++i) {
        QString plt = jobOfSize(sizes[i]);
        best[i] = std::numeric_limits<qint64>::max();
        for (int round = 0; round < 3; ++round) {
            d.rv8->setPlt(QString());
            const qint64 held = heldBytes();
            const qint64 start = threadNanos();
            d.rv8->setPlt(plt);
            best[i] = qMin(best[i], threadNanos() - start);
            QCOMPARE(KTRV8Private::pages(*d.rv8).size(), 1000);
            const qint64 textBytes = qint64(plt.size()) * 2;
            const qint64 extra = heldBytes() - held;
            QVERIFY2(extra < textBytes * 11 / 10 + 1024 * 1024,
                     qPrintable(QStringLiteral("%1 bytes held for %2 bytes of text").arg(extra).arg(textBytes)));
        }
    }
    const double ratio = double(best[1]) / double(qMax<qint64>(best[0], 1));
    qInfo("setPlt %d MB: %.2f ms, %d MB: %.2f ms, ratio %.1f", smallMB, best[0] / 1e6, largeMB, best[1] / 1e6, ratio);
    // Proportional work gives 16; a pass per page over the whole text would give ~16000.
    QVERIFY2(ratio < 16 * 4, qPrintable(QString::number(ratio)));
}
