#include "ktcommoninterface.h"
#include "ktdeviceproperty.h"
#include "linkspies.h"
#include "loopbackcutter.h"
#include "messagetexts.h"
#include "pseudoterminal.h"
#include "transportfixture.h"
#include "usblink.h"

#include <QDateTime>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

using T = KTDeviceInterface;

namespace {

QByteArray everyByte()
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    return all;
}

} // namespace

class tst_UsbLink : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void connectIsReportedFromTheEventLoop();
    void bytesBothWays_data();
    void bytesBothWays();
    void writeLargerThanTheLineArrivesWhole();
    void hangUpReportsDisconnected();
    void missingNodeReportsError();
    void connectingAgainClosesFirst();
    void deletionWithIoPending();
    void deviceConnectsSendsAndDecodes();
    void deviceSeesHangUp();
    void deviceSeesMissingNode();
    void deviceReconnectsAfterHeartbeatTimeout();
};

void tst_UsbLink::initTestCase()
{
    qRegisterMetaType<T::KTDeviceMessage>("KTDeviceMessage");
    PseudoTerminal pty;
    if (!pty.isOpen())
        QSKIP("no pseudo-terminals on this machine");
}

void tst_UsbLink::connectIsReportedFromTheEventLoop()
{
    PseudoTerminal pty;
    UsbLink link;
    QSignalSpy status(&link, &UsbLink::statusChanged);
    link.usbConnect(pty.slavePath(), UsbLink::ReadWrite, false);
    QCOMPARE(status.count(), 0);
    QTRY_COMPARE(status.count(), 1);
    QCOMPARE(status.at(0).at(0).toInt(), 1);
    QVERIFY(link.isOpen());
}

// The line must be raw: 0x03 (the frame end) is the interrupt key of a cooked terminal,
// 0x04 its end of file, and CR/LF would be translated.
// clang-format off
void tst_UsbLink::bytesBothWays_data()
{
    QTest::addColumn<QByteArray>("fromCutter");
    QTest::addColumn<QString>("fromHost");
    QTest::newRow("frames") << LoopbackCutter::frame("CCMD;4,0;") << QString("\x02" "14;CMD;GET1;\x03");
    QTest::newRow("every byte value / control text")
        << everyByte() << QString("\x02\x03\x04\r\n\x11\x13\x1a\x7f end");
    QTest::newRow("non-ASCII text") << QByteArray("\xe5\x88\xbb\xe5\xad\x97") << QString::fromUtf8("刻字 job");
}
// clang-format on

void tst_UsbLink::bytesBothWays()
{
    QFETCH(QByteArray, fromCutter);
    QFETCH(QString, fromHost);
    PseudoTerminal pty;
    UsbLink link;
    QSignalSpy status(&link, &UsbLink::statusChanged);
    QSignalSpy reads(&link, &UsbLink::readData);
    QSignalSpy writes(&link, &UsbLink::writeData);
    link.usbConnect(pty.slavePath(), UsbLink::ReadWrite, false);
    QTRY_COMPARE(status.count(), 1);

    QVERIFY(pty.write(fromCutter));
    QTRY_COMPARE(joined(reads), fromCutter);

    link.send(fromHost);
    const QByteArray expected = fromHost.toUtf8();
    QVERIFY(pty.waitForBytes(expected.size()));
    QCOMPARE(pty.received(), expected);
    QCOMPARE(joined(writes), expected);
    QCOMPARE(link.pendingBytes(), 0);
    // Nothing came back: the line does not echo.
    QCOMPARE(joined(reads), fromCutter);
}

void tst_UsbLink::writeLargerThanTheLineArrivesWhole()
{
    PseudoTerminal pty;
    UsbLink link;
    QSignalSpy status(&link, &UsbLink::statusChanged);
    QSignalSpy writes(&link, &UsbLink::writeData);
    link.usbConnect(pty.slavePath(), UsbLink::ReadWrite, false);
    QTRY_COMPARE(status.count(), 1);

    QString text;
    for (int i = 0; text.size() < (1 << 20) + 7; ++i)
        text += QString::number(i) + QLatin1Char(i % 16 == 0 ? '\n' : ',');
    // The reader runs on this thread: a blocking write would never return.
    link.send(text.left(600000));
    link.send(text.mid(600000));
    QVERIFY(pty.waitForBytes(text.size(), 20000));
    QCOMPARE(pty.received().size(), text.size());
    QCOMPARE(pty.received(), text.toUtf8());
    QVERIFY2(writes.count() > 1, "the line took everything at once: the queue was not exercised");
    QCOMPARE(link.pendingBytes(), 0);
    QCOMPARE(statuses(status), QList<int>{1});
}

void tst_UsbLink::hangUpReportsDisconnected()
{
    PseudoTerminal pty;
    UsbLink link;
    QSignalSpy status(&link, &UsbLink::statusChanged);
    link.usbConnect(pty.slavePath(), UsbLink::ReadWrite, false);
    QTRY_COMPARE(status.count(), 1);
    pty.hangUp();
    QTRY_COMPARE(statuses(status), (QList<int>{1, 0}));
    QVERIFY(!link.isOpen());
    link.send("dropped");
    QCOMPARE(link.pendingBytes(), 0);
}

void tst_UsbLink::missingNodeReportsError()
{
    UsbLink link;
    QSignalSpy status(&link, &UsbLink::statusChanged);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("/dev/no-such-cutter.*No such file or directory"));
    link.usbConnect("/dev/no-such-cutter", UsbLink::ReadWrite, false);
    QTRY_COMPARE(statuses(status), QList<int>{2});
    QVERIFY(!link.isOpen());
}

void tst_UsbLink::connectingAgainClosesFirst()
{
    PseudoTerminal pty;
    UsbLink link;
    QSignalSpy status(&link, &UsbLink::statusChanged);
    QSignalSpy reads(&link, &UsbLink::readData);
    link.usbConnect(pty.slavePath(), UsbLink::ReadWrite, false);
    QTRY_COMPARE(status.count(), 1);
    link.usbConnect(pty.slavePath(), UsbLink::ReadWrite, false);
    QCOMPARE(statuses(status), (QList<int>{1, 0}));
    QTRY_COMPARE(statuses(status), (QList<int>{1, 0, 1}));

    // One descriptor, one reader: each byte arrives once.
    QVERIFY(pty.write("abc"));
    link.send("xyz");
    QVERIFY(pty.waitForBytes(3));
    QTRY_COMPARE(joined(reads), QByteArray("abc"));
    QCOMPARE(pty.received(), QByteArray("xyz"));
}

void tst_UsbLink::deletionWithIoPending()
{
    PseudoTerminal pty;
    // A queued open that never runs.
    auto* unopened = new UsbLink;
    QSignalSpy unopenedStatus(unopened, &UsbLink::statusChanged);
    unopened->usbConnect(pty.slavePath(), UsbLink::ReadWrite, false);
    delete unopened;

    // A write far larger than the line, still queued.
    auto* writer = new UsbLink;
    QSignalSpy writerStatus(writer, &UsbLink::statusChanged);
    writer->usbConnect(pty.slavePath(), UsbLink::ReadWrite, false);
    QTRY_COMPARE(writerStatus.count(), 1);
    pty.setReading(false);
    writer->send(QString(1 << 20, QLatin1Char('w')));
    QTRY_VERIFY(writer->pendingBytes() < (1 << 20));
    QVERIFY(writer->pendingBytes() > 0);
    const int written = pty.received().size() + int((1 << 20) - writer->pendingBytes());
    delete writer;
    pty.setReading(true);
    QVERIFY(pty.waitForBytes(written)); // what reached the line before the link went

    // A receiver that deletes the link while it is delivering.
    QPointer<UsbLink> reader = new UsbLink;
    QSignalSpy readerStatus(reader.data(), &UsbLink::statusChanged);
    connect(reader.data(), &UsbLink::readData, reader.data(), [&reader] { delete reader.data(); });
    reader->usbConnect(pty.slavePath(), UsbLink::ReadWrite, false);
    QTRY_COMPARE(readerStatus.count(), 1);
    QVERIFY(pty.write("bytes"));
    QTRY_VERIFY(reader.isNull());

    // The line still works for a new link: nothing was left behind on it.
    pty.clearReceived();
    UsbLink next;
    QSignalSpy nextStatus(&next, &UsbLink::statusChanged);
    next.usbConnect(pty.slavePath(), UsbLink::ReadWrite, false);
    QTRY_COMPARE(nextStatus.count(), 1);
    next.send("after");
    QVERIFY(pty.waitForBytes(5));
    QVERIFY(pty.received().endsWith("after"));
}

void tst_UsbLink::deviceConnectsSendsAndDecodes()
{
    PseudoTerminal pty;
    TransportFixture device;
    QSignalSpy messages(&device, &T::message);
    device.setUSBPath(pty.slavePath());
    device.setIPAddress("127.0.0.1");
    QVERIFY(device.connectDevice());
    QTRY_COMPARE(messages.count(), 1);
    QCOMPARE(messageTexts(messages), QStringList{"USB CONNECTED."});
    QCOMPARE(device.value("STATUS").toInt(), int(T::Working));
    QCOMPARE(device.value("CONNECT_MODE").toString(), QString("USB"));
    // USB wins when both addresses are set: no socket was even created.
    QVERIFY(device.findChildren<QTcpSocket*>().isEmpty());

    const QByteArray request = LoopbackCutter::frame("CMD;GET1;");
    device.sendCMD(request);
    QVERIFY(pty.waitForBytes(request.size()));
    QCOMPARE(pty.received(), request);

    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    QVERIFY(pty.write(LoopbackCutter::frame("CMD;GET1:250;")));
    QTRY_COMPARE(device.value("SPEED").toInt(), 250);
    QVERIFY(device.value("LAST_TIME").toDateTime() >= before);
    QCOMPARE(device.frames.size(), 1);
}

void tst_UsbLink::deviceSeesHangUp()
{
    PseudoTerminal pty;
    TransportFixture device;
    QSignalSpy messages(&device, &T::message);
    device.setUSBPath(pty.slavePath());
    QVERIFY(device.connectDevice());
    QTRY_COMPARE(messages.count(), 1);
    pty.hangUp();
    QTRY_COMPARE(messageTexts(messages), (QStringList{"USB CONNECTED.", "USB DISCONNECTED."}));
    QCOMPARE(device.value("STATUS").toInt(), int(T::DisConnected));
}

void tst_UsbLink::deviceSeesMissingNode()
{
    TransportFixture device;
    QSignalSpy messages(&device, &T::message);
    device.setUSBPath("/dev/no-such-cutter");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("No such file or directory"));
    QVERIFY(device.connectDevice());
    QTRY_COMPARE(messageTexts(messages), QStringList{"USB ERROR."});
    QCOMPARE(device.value("STATUS").toInt(), int(T::Warning));
    QCOMPARE(device.value("CONNECT_MODE").toString(), QString("USB"));
    // Warning holds until the library reports again.
    QVERIFY(!device.connectDevice());
}

// The heartbeat check sets DisConnected while the node stays open.
void tst_UsbLink::deviceReconnectsAfterHeartbeatTimeout()
{
    PseudoTerminal pty;
    TransportFixture device;
    QSignalSpy messages(&device, &T::message);
    device.setUSBPath(pty.slavePath());
    QVERIFY(device.connectDevice());
    QTRY_COMPARE(messages.count(), 1);
    UsbLink* first = device.usb();

    device.property_ptr("STATUS")->setValue(int(T::DisConnected));
    QVERIFY(device.connectDevice());
    QTRY_COMPARE(messageTexts(messages), (QStringList{"USB CONNECTED.", "USB DISCONNECTED.", "USB CONNECTED."}));
    QCOMPARE(device.usb(), first);
    QCOMPARE(device.value("STATUS").toInt(), int(T::Working));

    const QByteArray request = LoopbackCutter::frame("CMD;GET1;");
    device.sendCMD(request);
    QVERIFY(pty.waitForBytes(request.size()));
    QCOMPARE(pty.received(), request);
    QVERIFY(pty.write(LoopbackCutter::frame("CMD;GET1:7;") + LoopbackCutter::frame("CMD;GET1:8;")));
    QTRY_COMPARE(device.value("SPEED").toInt(), 8);
    QCOMPARE(device.frames.size(), 2);
}

QTEST_GUILESS_MAIN(tst_UsbLink)
#include "tst_usblink.moc"
