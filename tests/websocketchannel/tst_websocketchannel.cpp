#include "ktcommoninterface.h"
#include "ktdeviceproperty.h"
#include "localcloudservice.h"
#include "messagetexts.h"
#include "nimbracloud.h"

#include <QJsonDocument>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

#include <memory>

namespace {

const QString Code = QStringLiteral("KT7Q2X");
const QString Connected = QStringLiteral("WEB SOCKET CONNECTED.");
const QString Disconnected = QStringLiteral("WEB SOCKET DISCONNECTED.");
const QString Error = QStringLiteral("WEB SOCKET ERROR.");

KTCommonInterface* makeDevice()
{
    auto* device = new KTCommonInterface(nullptr);
    device->init157(device);
    auto* task = new KTDeviceProperty(nullptr);
    task->init(QJsonObject{{QStringLiteral("Status"), 2}, {QStringLiteral("Finished"), 1}}, QString(), QString(), 0, 0,
               0, KTDeviceInterface::UnCMD, {});
    device->storeProperty("TASK", task);
    return device;
}

} // namespace

class tst_WebSocketChannel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<KTDeviceInterface::KTDeviceMessage>("KTDeviceMessage"); }
    void init();
    void cleanup();
    void opensChannelFromWsBaseAndCode();
    void baseAddressIsUsedAsItComes();
    void newTextIsAnsweredOnceRepeatIgnored();
    void secondConnectDoesNotDoubleAnything();
    void disconnectionIsReported();
    void unreachableAddressIsReportedAsError();
    void withoutDeviceCloudNothingOpens();
    void withoutClientNothingOpens();
    void socketGoesWithDevice();
    void deviceDeletedFromItsDisconnectMessage();

private:
    void openChannel();

    std::unique_ptr<LocalCloudService> service;
    std::unique_ptr<NimbraCloud> cloud;
    QPointer<KTCommonInterface> device;
    std::unique_ptr<QSignalSpy> messages;
};

void tst_WebSocketChannel::init()
{
    service = std::make_unique<LocalCloudService>();
    QVERIFY(service->listen(0));
    cloud = std::make_unique<NimbraCloud>(service->httpBase(), service->wsBase());
    device = makeDevice();
    messages = std::make_unique<QSignalSpy>(device.data(), &KTDeviceInterface::message);
}

void tst_WebSocketChannel::cleanup()
{
    messages.reset();
    delete device.data();
    cloud.reset();
    service.reset();
}

void tst_WebSocketChannel::openChannel()
{
    device->setNimbraCloud(cloud.get(), Code);
    device->connect_websocket();
    QTRY_COMPARE_WITH_TIMEOUT(statusTexts(*messages), QStringList{Connected}, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(service->connectedDevices(), QStringList{Code}, 5000);
}

void tst_WebSocketChannel::opensChannelFromWsBaseAndCode()
{
    openChannel();
    QCOMPARE(service->channelPaths(), QStringList{QStringLiteral("/") + Code + QStringLiteral("/Device/")});
}

void tst_WebSocketChannel::baseAddressIsUsedAsItComes()
{
    NimbraCloud prefixed(service->httpBase(), service->wsBase() + QStringLiteral("cloud/ws-"));
    device->setNimbraCloud(&prefixed, Code);
    device->connect_websocket();
    QTRY_COMPARE_WITH_TIMEOUT(service->channelPaths().size(), 1, 5000);
    QCOMPARE(service->channelPaths()[0], QStringLiteral("/cloud/ws-") + Code + QStringLiteral("/Device/"));
    // The service turns unknown channels away once the handshake is done.
    QTRY_VERIFY_WITH_TIMEOUT(statusTexts(*messages).contains(Disconnected), 5000);
    QCOMPARE(statusTexts(*messages).first(), Connected);
}

// Texts on one channel are handled in order, so once the last new text is answered every
// earlier one has been handled too.
void tst_WebSocketChannel::newTextIsAnsweredOnceRepeatIgnored()
{
    openChannel();
    for (const char* text : {"poll", "poll", "{not json", "{not json", "poll"})
        QVERIFY(service->sendToDevice(Code, QString::fromLatin1(text)));
    QTRY_COMPARE_WITH_TIMEOUT(service->textsFrom(Code).size(), 3, 5000);
    // A repeat answered by mistake would follow at once.
    QVERIFY(!QTest::qWaitFor([this] { return service->textsFrom(Code).size() > 3; }, 50));
    QCOMPARE(service->textsFrom(Code).size(), 3);
    const QJsonObject answer = QJsonDocument::fromJson(service->textsFrom(Code).first().toUtf8()).object();
    QCOMPARE(answer.value(QStringLiteral("sender")).toString(), QStringLiteral("Device"));
    QCOMPARE(answer.value(QStringLiteral("message"))
                 .toObject()
                 .value(QStringLiteral("Runtime"))
                 .toObject()
                 .value(QStringLiteral("Finished"))
                 .toInt(),
             1);
}

void tst_WebSocketChannel::secondConnectDoesNotDoubleAnything()
{
    openChannel();
    device->connect_websocket();
    QTRY_COMPARE_WITH_TIMEOUT(statusTexts(*messages).count(Connected), 2, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(service->connectedDevices(), QStringList{Code}, 5000);
    QVERIFY(service->sendToDevice(Code, QStringLiteral("a")));
    QTRY_COMPARE_WITH_TIMEOUT(service->textsFrom(Code).size(), 1, 5000);
    QVERIFY(service->sendToDevice(Code, QStringLiteral("b")));
    QTRY_COMPARE_WITH_TIMEOUT(service->textsFrom(Code).size(), 2, 5000);
    // A doubled handler would answer again at once.
    QVERIFY(!QTest::qWaitFor([this] { return service->textsFrom(Code).size() > 2; }, 50));
    QCOMPARE(service->textsFrom(Code).size(), 2);
    QCOMPARE(statusTexts(*messages).count(Connected), 2);
}

void tst_WebSocketChannel::disconnectionIsReported()
{
    openChannel();
    service->closeDevice(Code);
    QTRY_COMPARE_WITH_TIMEOUT(statusTexts(*messages), (QStringList{Connected, Disconnected}), 5000);
    QVERIFY(!QTest::qWaitFor([this] { return statusTexts(*messages).count(Disconnected) > 1; }, 50));
    QCOMPARE(statusTexts(*messages).count(Disconnected), 1);
}

void tst_WebSocketChannel::unreachableAddressIsReportedAsError()
{
    QTcpServer probe; // a port known to be free once closed
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    NimbraCloud nowhere(service->httpBase(), QStringLiteral("ws://127.0.0.1:%1/").arg(port));
    device->setNimbraCloud(&nowhere, Code);
    device->connect_websocket();
    QTRY_VERIFY_WITH_TIMEOUT(statusTexts(*messages).contains(Error), 5000);
    QVERIFY(!statusTexts(*messages).contains(Connected));
}

void tst_WebSocketChannel::withoutDeviceCloudNothingOpens()
{
    KTCommonInterface bare;
    QSignalSpy spy(&bare, &KTDeviceInterface::message);
    bare.setNimbraCloud(cloud.get(), Code);
    bare.connect_websocket();
    bare.connect_websocket();
    // The device's own channel opens normally afterwards and is the only one.
    openChannel();
    QCOMPARE(service->channelPaths().size(), 1);
    QCOMPARE(spy.count(), 0);
}

void tst_WebSocketChannel::withoutClientNothingOpens()
{
    device->connect_websocket();
    device->setNimbraCloud(cloud.get(), Code);
    device->connect_websocket();
    QTRY_COMPARE_WITH_TIMEOUT(service->connectedDevices(), QStringList{Code}, 5000);
    QCOMPARE(service->channelPaths().size(), 1);
}

void tst_WebSocketChannel::socketGoesWithDevice()
{
    openChannel();
    delete device.data();
    QTRY_VERIFY_WITH_TIMEOUT(service->connectedDevices().isEmpty(), 5000);
}

// The host may drop the device as soon as it hears that the channel is gone, while the
// socket is still emitting.
void tst_WebSocketChannel::deviceDeletedFromItsDisconnectMessage()
{
    openChannel();
    connect(device.data(), &KTDeviceInterface::message, this,
            [this](KTDeviceInterface::KTDeviceMessage, const QString& text) {
                if (text == Disconnected)
                    delete device.data();
            });
    service->closeDevice(Code);
    QTRY_VERIFY_WITH_TIMEOUT(device.isNull(), 5000);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the socket's deletion runs here
}

QTEST_GUILESS_MAIN(tst_WebSocketChannel)
#include "tst_websocketchannel.moc"
