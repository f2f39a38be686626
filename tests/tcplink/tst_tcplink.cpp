#include "ktcommoninterface.h"
#include "ktcommoninterface_p.h"
#include "ktdeviceproperty.h"
#include "loopbackcutter.h"
#include "messagetexts.h"
#include "transportfixture.h"

#include <QDateTime>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

#if defined(Q_OS_LINUX)
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

using T = KTDeviceInterface;

namespace {

// Status news in the order the host would see them, with the property changes around them.
class EventLog
{
public:
    explicit EventLog(TransportFixture& device)
    {
        for (const char* key : {"CONNECT_MODE", "STATUS"}) {
            KTDeviceProperty* p = device.property_ptr(key);
            QObject::connect(p, &KTDeviceProperty::valueChanged,
                             [this, key, p] { events << QString("%1=%2").arg(key, p->value().toString()); });
        }
        QObject::connect(&device, &T::message, [this](T::KTDeviceMessage kind, const QString& text) {
            events << QString("message %1 %2").arg(int(kind)).arg(text);
        });
    }
    QStringList events;
};

quint16 unusedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool connectAndWait(TransportFixture& device, QSignalSpy& messages)
{
    const int before = messages.count();
    if (!device.connectDevice())
        return false;
    const auto connected = [&] {
        return messages.count() > before && messages.last().at(1).toString() == "TCP CONNECTED.";
    };
    return QTest::qWaitFor(connected, 5000);
}

} // namespace

class tst_TcpLink : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void languageForLocale_data();
    void languageForLocale();
    void addressRecords_data();
    void addressRecords();
    void transportEvents_data();
    void transportEvents();
    void withoutStatusOnlyTheModeChanges();
    void connectReportsInOrder();
    void connectRefusedUnlessDisconnected();
    void connectWithoutPortMakesNoAttempt();
    void sendGate_data();
    void sendGate();
    void sendWithoutTransportDrops_data();
    void sendWithoutTransportDrops();
    void peerDisconnects();
    void failedWriteReportsFromTheLoop();
    void reconnectReusesTheSocket();
    void reconnectAfterHeartbeatTimeout();
    void reconnectAfterPeerVanished();
    void closedPort();
    void destructionWhileConnected();
};

void tst_TcpLink::initTestCase()
{
    qRegisterMetaType<T::KTDeviceMessage>("KTDeviceMessage");
}

// clang-format off
void tst_TcpLink::languageForLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("language");
    QTest::newRow("ja_JP") << "ja_JP" << "ja_JP";
    QTest::newRow("zh_CN") << "zh_CN" << "";
    QTest::newRow("zh_TW") << "zh_TW" << "en_US";
    QTest::newRow("de_DE") << "de_DE" << "en_US";
    QTest::newRow("en_US") << "en_US" << "en_US";
    QTest::newRow("C") << "C" << "en_US";
}
// clang-format on

void tst_TcpLink::languageForLocale()
{
    QFETCH(QString, locale);
    QFETCH(QString, language);
    QCOMPARE(KTCommonInterfacePrivate::languageForLocale(locale), language);
    TransportFixture device;
    QCOMPARE(KTCommonInterfacePrivate::languageCode(device),
             KTCommonInterfacePrivate::languageForLocale(QLocale::system().name()));
}

// A host may still hold the record it read before: a replaced one lives until the device dies.
void tst_TcpLink::addressRecords_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("label");
    QTest::newRow("USB") << "USB" << QString::fromUtf8("USB 地址");
    QTest::newRow("TCP") << "TCP" << QString::fromUtf8("IP 地址");
}

void tst_TcpLink::addressRecords()
{
    QFETCH(QString, key);
    QFETCH(QString, label);
    auto device = std::make_unique<TransportFixture>();
    const QByteArray k = key.toLatin1();
    const auto store = [&](const QString& address) {
        if (key == "USB")
            device->setUSBPath(address);
        else
            device->setIPAddress(address);
    };
    store("first");
    QPointer<KTDeviceProperty> first = device->property_ptr(k);
    QVERIFY(first);
    QCOMPARE(first->value(), QVariant(QString("first")));
    QCOMPARE(first->label(), label);
    QCOMPARE(first->cmd_type(), T::UnCMD);
    QVERIFY(first->get_cmd_bytes().isEmpty());
    QVERIFY(first->set_cmd_bytes().isEmpty());

    store("second");
    QPointer<KTDeviceProperty> second = device->property_ptr(k);
    QVERIFY(second && second != first);
    QCOMPARE(second->value(), QVariant(QString("second")));
    QVERIFY(first);
    QCOMPARE(first->value(), QVariant(QString("first")));

    device.reset();
    QVERIFY(first.isNull());
    QVERIFY(second.isNull());
}

// Driving the slots directly: the table of transport events.
void tst_TcpLink::transportEvents_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<int>("event");
    QTest::addColumn<int>("heartbeat"); // < 0: no HEARTBEAT property
    QTest::addColumn<int>("status");    // expected; -1: unchanged from Idle
    QTest::addColumn<QString>("text");  // expected message; empty: none
    QTest::addColumn<int>("timerMs");   // 0: stopped; -1: left running at 5000

    QTest::newRow("usb 1") << "USB" << 1 << 2 << int(T::Working) << "USB CONNECTED." << 2000;
    QTest::newRow("usb 2") << "USB" << 2 << 2 << int(T::Warning) << "USB ERROR." << 0;
    QTest::newRow("usb 0") << "USB" << 0 << 2 << int(T::DisConnected) << "USB DISCONNECTED." << 0;
    QTest::newRow("usb 3") << "USB" << 3 << 2 << -1 << "" << -1;
    QTest::newRow("usb -1") << "USB" << -1 << 2 << -1 << "" << -1;
    QTest::newRow("tcp connected") << "TCP" << int(QAbstractSocket::ConnectedState) << 2 << int(T::Working)
                                   << "TCP CONNECTED." << 2000;
    QTest::newRow("tcp unconnected") << "TCP" << int(QAbstractSocket::UnconnectedState) << 2 << int(T::DisConnected)
                                     << "TCP DISCONNECTED." << 0;
    QTest::newRow("tcp host lookup") << "TCP" << int(QAbstractSocket::HostLookupState) << 2 << -1 << "" << -1;
    QTest::newRow("tcp connecting") << "TCP" << int(QAbstractSocket::ConnectingState) << 2 << -1 << "" << -1;
    QTest::newRow("tcp closing") << "TCP" << int(QAbstractSocket::ClosingState) << 2 << -1 << "" << -1;
    QTest::newRow("heartbeat 0 runs at 1 s") << "USB" << 1 << 0 << int(T::Working) << "USB CONNECTED." << 1000;
    QTest::newRow("heartbeat 7") << "TCP" << int(QAbstractSocket::ConnectedState) << 7 << int(T::Working)
                                 << "TCP CONNECTED." << 7000;
    QTest::newRow("no heartbeat") << "TCP" << int(QAbstractSocket::ConnectedState) << -1 << int(T::Working)
                                  << "TCP CONNECTED." << 0;
}

void tst_TcpLink::transportEvents()
{
    QFETCH(QString, transport);
    QFETCH(int, event);
    QFETCH(int, heartbeat);
    QFETCH(int, status);
    QFETCH(QString, text);
    QFETCH(int, timerMs);
    TransportFixture device(0, heartbeat);
    device.set("STATUS", int(T::Idle));
    if (timerMs < 0)
        const_cast<QTimer&>(device.heartbeatTimer()).start(5000);
    QSignalSpy messages(&device, &T::message);

    if (transport == "USB")
        device.slot_usb_status(event);
    else
        device.slot_tcp_socket_state(QAbstractSocket::SocketState(event));

    QCOMPARE(device.value("CONNECT_MODE").toString(), transport);
    QCOMPARE(device.value("STATUS").toInt(), status < 0 ? int(T::Idle) : status);
    QCOMPARE(messageTexts(messages), text.isEmpty() ? QStringList() : QStringList{text});
    if (!text.isEmpty())
        QCOMPARE(messages.at(0).at(0).value<T::KTDeviceMessage>(), T::DevStatus);
    QCOMPARE(device.heartbeatTimer().isActive(), timerMs != 0);
    if (timerMs != 0)
        QCOMPARE(device.heartbeatTimer().interval(), timerMs < 0 ? 5000 : timerMs);
}

void tst_TcpLink::withoutStatusOnlyTheModeChanges()
{
    TransportFixture device(0, 2);
    device.remove("STATUS");
    QSignalSpy messages(&device, &T::message);
    device.slot_usb_status(1);
    QCOMPARE(device.value("CONNECT_MODE").toString(), QString("USB"));
    QCOMPARE(messages.count(), 0);
    QVERIFY(!device.heartbeatTimer().isActive());
}

void tst_TcpLink::connectReportsInOrder()
{
    LoopbackCutter cutter;
    TransportFixture device(cutter.port());
    EventLog log(device);
    QSignalSpy messages(&device, &T::message);
    QVERIFY(device.connectDevice());
    QTRY_COMPARE(messages.count(), 1);
    QCOMPARE(log.events, (QStringList{"CONNECT_MODE=TCP", "STATUS=2", "message 0 TCP CONNECTED."}));
    QVERIFY(cutter.waitForConnection());
    QVERIFY(!device.heartbeatTimer().isActive());
    QVERIFY(device.usb() == nullptr);
    QCOMPARE(device.socket()->readBufferSize(), qint64(10240));
    QCOMPARE(device.socket()->socketOption(QAbstractSocket::KeepAliveOption).toInt(), 1);
#if defined(Q_OS_LINUX)
    // A peer that vanishes without a word is noticed within seconds, not the system's two hours.
    const int fd = int(device.socket()->socketDescriptor());
    const struct
    {
        int level, option, expected;
    } probes[] = {{SOL_SOCKET, SO_KEEPALIVE, 1},
                  {IPPROTO_TCP, TCP_KEEPIDLE, 5},
                  {IPPROTO_TCP, TCP_KEEPINTVL, 2},
                  {IPPROTO_TCP, TCP_KEEPCNT, 3}};
    for (const auto& probe : probes) {
        int value = -1;
        socklen_t size = sizeof value;
        QCOMPARE(::getsockopt(fd, probe.level, probe.option, &value, &size), 0);
        QCOMPARE(value, probe.expected);
    }
#endif
}

void tst_TcpLink::connectRefusedUnlessDisconnected()
{
    LoopbackCutter cutter;
    TransportFixture device(cutter.port());
    QSignalSpy messages(&device, &T::message);
    QVERIFY(connectAndWait(device, messages));
    QTcpSocket* socket = device.socket();
    QVERIFY(!device.connectDevice());
    QCOMPARE(device.socket(), socket);
    QCOMPARE(socket->state(), QAbstractSocket::ConnectedState);

    TransportFixture noAddress(cutter.port());
    delete noAddress.property_ptr("TCP");
    noAddress.setProperty("TCP", QVariant());
    QVERIFY(!noAddress.connectDevice());
    QVERIFY(noAddress.socket() == nullptr);
}

void tst_TcpLink::connectWithoutPortMakesNoAttempt()
{
    TransportFixture device;
    device.remove("TCP_PORT");
    QSignalSpy messages(&device, &T::message);
    QVERIFY(device.connectDevice());
    QVERIFY(device.socket());
    QCOMPARE(device.socket()->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(device.value("CONNECT_MODE").toString(), QString());
    QCOMPARE(messages.count(), 0);
}

void tst_TcpLink::sendGate_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("sent");
    const QByteArray request = LoopbackCutter::frame("CMD;GET1;");
    QTest::newRow("DisConnected") << int(T::DisConnected) << request << false;
    QTest::newRow("Idle") << int(T::Idle) << request << true;
    QTest::newRow("Working") << int(T::Working) << request << true;
    QTest::newRow("Pause") << int(T::Pause) << request << true;
    QTest::newRow("Warning") << int(T::Warning) << request << false;
    QTest::newRow("Error") << int(T::Error) << request << false;
    QTest::newRow("unknown 9") << 9 << request << false;
    QTest::newRow("Working, empty") << int(T::Working) << QByteArray() << false;
    // More than the kernel takes at once: the rest follows through Qt, the marker after it.
    QTest::newRow("Working, 16 MiB page")
        << int(T::Working) << LoopbackCutter::frame("PPLT;" + QByteArray(16 << 20, 'P')) << true;
}

void tst_TcpLink::sendGate()
{
    QFETCH(int, status);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, sent);
    LoopbackCutter cutter;
    TransportFixture device(cutter.port());
    QSignalSpy messages(&device, &T::message);
    QVERIFY(connectAndWait(device, messages));
    QVERIFY(cutter.waitForConnection());

    qint64 announced = 0;
    connect(device.socket(), &QIODevice::bytesWritten, [&announced](qint64 n) { announced += n; });
    device.set("STATUS", status);
    device.sendCMD(bytes);
    if (bytes.size() > (8 << 20))
        QVERIFY2(device.socket()->bytesToWrite() > 0, "the kernel took the whole page: nothing was left to Qt");
    // A marker behind it: once it is there, anything sent before has arrived too.
    device.set("STATUS", int(T::Working));
    const QByteArray marker = LoopbackCutter::frame("CMD;GET2;");
    device.sendCMD(marker);
    QVERIFY(cutter.waitForFrames(sent ? 2 : 1, 20000));
    QCOMPARE(cutter.frames(), sent ? (QList<QByteArray>{bytes, marker}) : QList<QByteArray>{marker});
    QCOMPARE(announced, marker.size() + (sent ? bytes.size() : 0));
}

// A host can set the mode and status itself before any transport exists.
void tst_TcpLink::sendWithoutTransportDrops_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("TCP") << "TCP";
    QTest::newRow("USB") << "USB";
    QTest::newRow("empty") << "";
}

void tst_TcpLink::sendWithoutTransportDrops()
{
    QFETCH(QString, mode);
    TransportFixture device;
    device.set("CONNECT_MODE", mode);
    device.set("STATUS", int(T::Working));
    device.sendCMD(LoopbackCutter::frame("CMD;GET1;"));
    QVERIFY(device.socket() == nullptr);
    QVERIFY(device.usb() == nullptr);

    // A socket that exists but is closed drops the bytes as well.
    TransportFixture closed(unusedPort());
    QSignalSpy messages(&closed, &T::message);
    QVERIFY(closed.connectDevice());
    QTRY_COMPARE(messageTexts(messages), QStringList{"TCP DISCONNECTED."});
    closed.set("CONNECT_MODE", mode);
    closed.set("STATUS", int(T::Working));
    closed.sendCMD(LoopbackCutter::frame("CMD;GET1;"));
    QCOMPARE(closed.socket()->bytesToWrite(), qint64(0));
}

void tst_TcpLink::peerDisconnects()
{
    LoopbackCutter cutter;
    TransportFixture device(cutter.port(), 2);
    QSignalSpy messages(&device, &T::message);
    QVERIFY(connectAndWait(device, messages));
    QVERIFY(cutter.waitForConnection());
    QVERIFY(device.heartbeatTimer().isActive());
    cutter.dropClient();
    QTRY_COMPARE(messageTexts(messages), (QStringList{"TCP CONNECTED.", "TCP DISCONNECTED."}));
    QCOMPARE(device.value("STATUS").toInt(), int(T::DisConnected));
    QVERIFY(!device.heartbeatTimer().isActive());
}

// Bytes go to the kernel inside sendCMD. A write that fails there drops the connection at
// once, but the host hears of it from the event loop: a host that deletes the device on
// "TCP DISCONNECTED." must not do so under sendCMD's caller.
void tst_TcpLink::failedWriteReportsFromTheLoop()
{
    LoopbackCutter cutter;
    auto* device = new TransportFixture(cutter.port());
    QSignalSpy messages(device, &T::message);
    QVERIFY(connectAndWait(*device, messages));
    QVERIFY(cutter.waitForConnection());
    const QPointer<TransportFixture> alive(device);
    QObject::connect(device, &T::message, device, [device](T::KTDeviceMessage, const QString& text) {
        if (text == QLatin1String("TCP DISCONNECTED."))
            delete device;
    });
    cutter.dropClient();
    // The peer is gone before the device's loop has seen it: a later write fails in the kernel.
    for (int i = 0; i < 10 && alive && device->socket()->state() == QAbstractSocket::ConnectedState; ++i)
        device->sendCMD(LoopbackCutter::frame("CMD;GET1;"));
    QVERIFY(alive);
    QCOMPARE(device->socket()->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(device->value("STATUS").toInt(), int(T::Working));
    QTRY_VERIFY(!alive);
}

void tst_TcpLink::reconnectReusesTheSocket()
{
    LoopbackCutter cutter;
    TransportFixture device(cutter.port());
    QSignalSpy messages(&device, &T::message);
    QVERIFY(connectAndWait(device, messages));
    QVERIFY(cutter.waitForConnection());
    QTcpSocket* socket = device.socket();
    cutter.dropClient();
    QTRY_COMPARE(messages.count(), 2);

    QVERIFY(connectAndWait(device, messages));
    QCOMPARE(device.socket(), socket);
    QCOMPARE(device.findChildren<QTcpSocket*>().size(), 1);
    QVERIFY(cutter.waitForConnection());
    cutter.send(LoopbackCutter::frame("CMD;GET1:250;"));
    cutter.send(LoopbackCutter::frame("CMD;GET1:251;"));
    QTRY_COMPARE(device.frames.size(), 2);
    QCOMPARE(device.value("SPEED").toInt(), 251);
    // A frame sent after them is decoded after any second decoding of theirs would be.
    cutter.send(LoopbackCutter::frame("CMD;GET1:252;"));
    QTRY_COMPARE(device.value("SPEED").toInt(), 252);
    QCOMPARE(device.frames.size(), 3);
}

// The heartbeat check leaves the socket open and sets DisConnected: connecting again must
// start from a closed socket.
void tst_TcpLink::reconnectAfterHeartbeatTimeout()
{
    LoopbackCutter cutter;
    TransportFixture device(cutter.port());
    EventLog log(device);
    QSignalSpy messages(&device, &T::message);
    QVERIFY(connectAndWait(device, messages));
    QVERIFY(cutter.waitForConnection());
    device.set("STATUS", int(T::DisConnected));
    log.events.clear();

    QVERIFY(connectAndWait(device, messages));
    QCOMPARE(log.events, (QStringList{"message 0 TCP DISCONNECTED.", "STATUS=2", "message 0 TCP CONNECTED."}));
    QCOMPARE(device.socket()->state(), QAbstractSocket::ConnectedState);
    const QByteArray request = LoopbackCutter::frame("CMD;GET1;");
    device.sendCMD(request);
    QVERIFY(cutter.waitForFrames(1));
    QCOMPARE(cutter.frames().last(), request);
}

void tst_TcpLink::reconnectAfterPeerVanished()
{
    auto cutter = std::make_unique<LoopbackCutter>();
    TransportFixture device(cutter->port());
    QSignalSpy messages(&device, &T::message);
    QVERIFY(connectAndWait(device, messages));
    QVERIFY(cutter->waitForConnection());
    cutter.reset();
    QTRY_COMPARE(messageTexts(messages), (QStringList{"TCP CONNECTED.", "TCP DISCONNECTED."}));

    QVERIFY(device.connectDevice());
    QTRY_COMPARE(messages.count(), 3);
    QCOMPARE(messageTexts(messages).last(), QString("TCP DISCONNECTED."));

    LoopbackCutter replacement;
    device.set("TCP_PORT", int(replacement.port()));
    QVERIFY(connectAndWait(device, messages));
    QVERIFY(replacement.waitForConnection());
    device.sendCMD(LoopbackCutter::frame("CMD;GET1;"));
    QVERIFY(replacement.waitForFrames(1));
}

void tst_TcpLink::closedPort()
{
    TransportFixture device(unusedPort());
    EventLog log(device);
    QSignalSpy messages(&device, &T::message);
    QVERIFY(device.connectDevice());
    QTRY_COMPARE(messages.count(), 1);
    QCOMPARE(log.events, (QStringList{"CONNECT_MODE=TCP", "message 0 TCP DISCONNECTED."}));
    QCOMPARE(device.value("STATUS").toInt(), int(T::DisConnected));
}

void tst_TcpLink::destructionWhileConnected()
{
    LoopbackCutter cutter;
    auto device = std::make_unique<TransportFixture>(cutter.port(), 2);
    QSignalSpy messages(device.get(), &T::message);
    QVERIFY(connectAndWait(*device, messages));
    QVERIFY(cutter.waitForConnection());
    QPointer<KTDeviceProperty> status = device->property_ptr("STATUS");
    QPointer<QTcpSocket> socket = device->socket();
    int during = 0;
    QObject::connect(device.get(), &T::message, [&during] { ++during; });
    device.reset();
    QCOMPARE(during, 0);
    QVERIFY(status.isNull());
    QVERIFY(socket.isNull());
    QVERIFY(cutter.waitForDisconnect());
}

QTEST_GUILESS_MAIN(tst_TcpLink)
#include "tst_tcplink.moc"
