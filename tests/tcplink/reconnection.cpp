#include "tst_tcplink.h"

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
