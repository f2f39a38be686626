#include "tst_tcplink.h"

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

QTEST_GUILESS_MAIN(tst_TcpLink)
