#include "ktcommoninterface.h"
#include "ktdeviceproperty.h"
#include "loopbackcutter.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QWebSocket>
#include <QWebSocketServer>
#include <QtTest>

#include <memory>

using T = KTDeviceInterface;

namespace {

class TaskDevice : public KTCommonInterface
{
public:
    ~TaskDevice() override { webSocket = nullptr; }
    void add(const char* key, const QVariant& value)
    {
        auto* p = new KTDeviceProperty(nullptr);
        p->init(value, QString(), QString(), 0, 0, 0, UnCMD, {});
        storeProperty(key, p);
    }
    void useSocket(QWebSocket* socket) { webSocket = socket; }
};

// The cloud's end of the channel, on 127.0.0.1.
class CloudEnd : public QObject
{
public:
    CloudEnd() : server("cloud", QWebSocketServer::NonSecureMode)
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QWebSocketServer::newConnection, this, [this] {
            QWebSocket* peer = server.nextPendingConnection();
            peer->setParent(this);
            connect(peer, &QWebSocket::textMessageReceived, this, [this](const QString& t) { texts << t; });
        });
        client.open(QUrl(QString("ws://127.0.0.1:%1").arg(server.serverPort())));
    }
    bool waitOpen()
    {
        return QTest::qWaitFor([this] { return client.state() == QAbstractSocket::ConnectedState; }, 5000);
    }
    QWebSocketServer server;
    QWebSocket client;
    QStringList texts;
};

QJsonObject object(const char* json)
{
    return QJsonDocument::fromJson(json).object();
}

} // namespace

class tst_TaskState : public QObject
{
    Q_OBJECT
private slots:
    void runtimeMessage_data();
    void runtimeMessage();
    void nothingWithoutTaskOrChannel();
    void taskReportsReachTheCloud();
};

void tst_TaskState::runtimeMessage_data()
{
    QTest::addColumn<QJsonObject>("record");
    QTest::addColumn<bool>("hasPreview");
    QTest::addColumn<QByteArray>("preview");
    QTest::addColumn<QString>("expected");
    const QJsonObject done = object(R"({"Finished":1,"Percent":100,"Status":0,"TaskCopies":1})");
    QTest::newRow("no preview")
        << done << false << QByteArray()
        << R"({"actions":["Runtime"],"message":{"Runtime":{"Finished":1,"Percent":100,"Status":0,"TaskCopies":1}},"sender":"Device"})";
    QTest::newRow("empty preview")
        << done << true << QByteArray()
        << R"({"actions":["Runtime"],"message":{"Runtime":{"FilePreview":null,"Finished":1,"Percent":100,"Status":0,"TaskCopies":1}},"sender":"Device"})";
    QTest::newRow("binary preview")
        << done << true << QByteArray("PNG\x00\x01", 5)
        << R"({"actions":["Runtime"],"message":{"Runtime":{"FilePreview":"UE5HAAE=","Finished":1,"Percent":100,"Status":0,"TaskCopies":1}},"sender":"Device"})";
    QTest::newRow("non-ASCII name")
        << object(u8R"({"FileName":"刻字.plt","Status":1})") << true << QByteArray("ab")
        << QString::fromUtf8(
               u8R"({"actions":["Runtime"],"message":{"Runtime":{"FileName":"刻字.plt","FilePreview":"YWI=","Status":1}},"sender":"Device"})");
}

void tst_TaskState::runtimeMessage()
{
    QFETCH(QJsonObject, record);
    QFETCH(bool, hasPreview);
    QFETCH(QByteArray, preview);
    QFETCH(QString, expected);
    CloudEnd cloud;
    QVERIFY(cloud.waitOpen());
    TaskDevice device;
    device.add("TASK", record);
    if (hasPreview)
        device.add("FILE_PREVIEW", preview);
    device.useSocket(&cloud.client);
    device.device_task_to_cloud();
    QTRY_COMPARE(cloud.texts.size(), 1);
    QCOMPARE(cloud.texts.at(0), expected);
    // The preview travels in the message only.
    QCOMPARE(device.property_ptr("TASK")->value().toJsonObject(), record);
}

void tst_TaskState::nothingWithoutTaskOrChannel()
{
    CloudEnd cloud;
    QVERIFY(cloud.waitOpen());
    TaskDevice device;
    device.add("FILE_PREVIEW", QByteArray("x"));
    device.useSocket(&cloud.client);
    device.device_task_to_cloud(); // no task: nothing
    device.add("TASK", object(R"({"Status":1})"));
    device.useSocket(nullptr);
    device.device_task_to_cloud(); // no channel: dropped
    device.useSocket(&cloud.client);
    device.add("TASK", object(R"({"Status":2})"));
    device.device_task_to_cloud();
    // Texts arrive in order: had an earlier call sent anything, it would come first.
    QTRY_COMPARE(cloud.texts.size(), 1);
    QCOMPARE(
        cloud.texts,
        QStringList{
            R"({"actions":["Runtime"],"message":{"Runtime":{"FilePreview":"eA==","Status":2}},"sender":"Device"})"});
}

// Each new task report from the cutter is pushed; a repeated one is not.
void tst_TaskState::taskReportsReachTheCloud()
{
    CloudEnd cloud;
    QVERIFY(cloud.waitOpen());
    TaskDevice device;
    device.useSocket(&cloud.client);
    const QByteArray first = LoopbackCutter::frame("CCMD;66,1,job.plt,3,1,45.5,0,0,0;");
    device.slot_usb_read(first + first);
    device.slot_usb_read(LoopbackCutter::frame("CCMD;66,1,job.plt,3,2,99.9,0,0,0;"));
    QTRY_COMPARE(cloud.texts.size(), 2);
    QCOMPARE(
        cloud.texts.at(0),
        QString(
            R"({"actions":["Runtime"],"message":{"Runtime":{"FileName":"job.plt","Finished":1,"Percent":45,"Status":1,"TaskCopies":3}},"sender":"Device"})"));
    QCOMPARE(
        cloud.texts.at(1),
        QString(
            R"({"actions":["Runtime"],"message":{"Runtime":{"FileName":"job.plt","Finished":2,"Percent":99,"Status":1,"TaskCopies":3}},"sender":"Device"})"));
    QCOMPARE(device.property_ptr("TASK")->label(), QString::fromUtf8("当前任务"));
}

QTEST_GUILESS_MAIN(tst_TaskState)
#include "tst_taskstate.moc"
