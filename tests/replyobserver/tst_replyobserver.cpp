#include "ktcommoninterface.h"
#include "ktcommoninterface_p.h"
#include "ktdeviceproperty.h"
#include "ktreplyobserver_p.h"
#include "ktrv8.h"
#include "loopbackcutter.h"
#include "pseudoterminal.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using T = KTDeviceInterface;

namespace {

QString describe(const KTReplyFrame& frame)
{
    const char* kind = frame.kind == T::CCMD ? "CCMD" : frame.kind == T::CMD ? "CMD" : "?";
    return QStringLiteral("%1 %2 %3 [%4]")
        .arg(QLatin1String(kind))
        .arg(frame.code)
        .arg(frame.result)
        .arg(frame.values.join(QLatin1Char(',')));
}

// One cutter on either transport: a loopback server or the master side of a pty.
class Peer
{
public:
    explicit Peer(bool usb) : usb(usb) {}

    bool connect(KTDeviceInterface& device)
    {
        if (usb) {
            device.setUSBPath(pty.slavePath());
        } else {
            device.setIPAddress(QStringLiteral("127.0.0.1"));
            device.property_ptr("TCP_PORT")->setValue(int(tcp.port()));
        }
        QSignalSpy status(&device, &T::message);
        if (!device.connectDevice() || !status.wait(5000))
            return false;
        return usb || tcp.waitForConnection();
    }

    bool send(const QByteArray& bytes)
    {
        if (usb)
            return pty.write(bytes);
        tcp.send(bytes);
        return true;
    }

private:
    bool usb;
    PseudoTerminal pty;
    LoopbackCutter tcp;
};

std::unique_ptr<KTDeviceInterface> newDevice()
{
    KTRV8 factory;
    return std::unique_ptr<KTDeviceInterface>(factory.initInstance());
}

} // namespace

class tst_ReplyObserver : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void eachFrameSeenOnce_data();
    void eachFrameSeenOnce();
    void removedObserverSeesNothing();
    void observerMayDeleteTheDevice();
};

void tst_ReplyObserver::initTestCase()
{
    qRegisterMetaType<T::KTDeviceMessage>("KTDeviceMessage");
    if (!PseudoTerminal().isOpen())
        QSKIP("no pseudo-terminals on this machine");
}

void tst_ReplyObserver::eachFrameSeenOnce_data()
{
    QTest::addColumn<QList<QByteArray>>("writes");
    QTest::addColumn<QStringList>("seen");
    const QByteArray refused = LoopbackCutter::frame("CCMD;1,3;");
    const QByteArray value = LoopbackCutter::frame("CMD;GET10:250;");
    const QByteArray stopped = LoopbackCutter::frame("CCMD;27,0,2;");
    for (bool usb : {false, true}) {
        const char* via = usb ? "pty" : "tcp";
        // A refusal the driver stores nowhere still reaches the observer.
        QTest::addRow("%s: refusal", via) << QList<QByteArray>{refused} << QStringList{"CCMD 1 3 []"};
        QTest::addRow("%s: item value", via) << QList<QByteArray>{value} << QStringList{"CMD 10 -1 [250]"};
        // Frames split across reads, several in one read, noise between them: each once.
        QTest::addRow("%s: split and joined", via)
            << QList<QByteArray>{"junk" + stopped.left(5), stopped.mid(5) + value + "\x03" + refused}
            << QStringList{"CCMD 27 0 [2]", "CMD 10 -1 [250]", "CCMD 1 3 []"};
    }
}

void tst_ReplyObserver::eachFrameSeenOnce()
{
    QFETCH(QList<QByteArray>, writes);
    QFETCH(QStringList, seen);
    const bool usb = QByteArray(QTest::currentDataTag()).startsWith("pty");
    Peer peer(usb);
    auto device = newDevice();
    auto* common = qobject_cast<KTCommonInterface*>(device.get());
    QVERIFY(common);
    QStringList observed;
    KTReplyObserver::install(*common, [&observed](const KTReplyFrame& frame) { observed << describe(frame); });
    QVERIFY(peer.connect(*device));
    for (int i = 0; i < writes.size(); ++i) {
        QVERIFY(peer.send(writes.at(i)));
        // The start of a frame is read before the rest is sent.
        if (i + 1 < writes.size())
            QTRY_VERIFY(!KTCommonInterfacePrivate::receiveBuffer(*common).isEmpty());
    }
    QTRY_COMPARE(observed.size(), seen.size());
    QCOMPARE(observed, seen);
}

void tst_ReplyObserver::removedObserverSeesNothing()
{
    Peer peer(false);
    auto device = newDevice();
    auto* common = qobject_cast<KTCommonInterface*>(device.get());
    int calls = 0;
    KTReplyObserver::install(*common, [&calls](const KTReplyFrame&) { ++calls; });
    QVERIFY(KTReplyObserver::installed(*common));
    KTReplyObserver::install(*common, {});
    QVERIFY(!KTReplyObserver::installed(*common));
    QVERIFY(peer.connect(*device));
    KTDeviceProperty* margin = device->property_ptr("MARGIN");
    QVERIFY(peer.send(LoopbackCutter::frame("CCMD;" + QByteArray::number(margin->get_cmd_int()) + ",0,123;")));
    QTRY_COMPARE(margin->value().toInt(), 123); // the driver still decodes
    QCOMPARE(calls, 0);
}

// A host may drop the device from inside the callback: the driver must not touch it after.
void tst_ReplyObserver::observerMayDeleteTheDevice()
{
    Peer peer(false);
    auto device = newDevice();
    QPointer<KTDeviceInterface> watch(device.get());
    auto* common = qobject_cast<KTCommonInterface*>(device.get());
    KTReplyObserver::install(*common, [&device](const KTReplyFrame&) { device.reset(); });
    QVERIFY(peer.connect(*device));
    QVERIFY(peer.send(LoopbackCutter::frame("CCMD;1,0;") + LoopbackCutter::frame("CCMD;2,0;")));
    QTRY_VERIFY(watch.isNull());
}

QTEST_MAIN(tst_ReplyObserver)
#include "tst_replyobserver.moc"
