// Faults of the cutter, the line, the cloud and the host, each tried on a real RV8 device over
// real loopback peers. Every case checks that nothing was lost or corrupted and that the same
// device is usable afterwards: it reconnects and runs a job.
#include "faultpeers.h"
#include "ktcommoninterface_p.h"
#include "ktdeviceproperty.h"
#include "ktrv8.h"
#include "ktrv8_p.h"
#include "localcloudservice.h"
#include "loopbackcutter.h"
#include "messagetexts.h"
#include "nimbracloud.h"
#include "pseudoterminal.h"

#include <QDateTime>
#include <QDoubleSpinBox>
#include <QJsonObject>
#include <QPointer>
#include <QSignalSpy>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QWidget>
#include <QtTest>

#include <memory>

#if defined(__SANITIZE_ADDRESS__)
#define KT_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KT_LEAK_CHECK 1
#endif
#endif
#ifdef KT_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

using K = KTDeviceInterface;

namespace {

const QString DeviceCode = QStringLiteral("KT3M7Z0001");
const char* const OnePage = "IN;PU0,0;PD100,0;PD100,100;";
const char* const ThreePages = "IN;PU0,0;PD10,10;PG;PU5,5;PD20,0;PG;PU0,0;PD0,30;PG;";

// One RV8 device as a host gets it: from the plug-in object's factory.
class Rig
{
public:
    Rig() : factory(new KTRV8(nullptr)), device(static_cast<KTRV8*>(factory->initInstance()))
    {
        messages = std::make_unique<QSignalSpy>(device.data(), &K::message);
    }
    ~Rig()
    {
        messages.reset();
        delete device.data();
    }
    KTDeviceProperty* operator[](const char* key) const { return device->property_ptr(key); }
    int status() const { return (*this)["STATUS"]->value().toInt(); }
    QJsonObject task() const { return (*this)["TASK"]->value().toJsonObject(); }
    const QByteArray& pending() const { return KTCommonInterfacePrivate::receiveBuffer(*device); }
    QStringList texts(K::KTDeviceMessage kind) const { return messageTexts(*messages, kind); }
    QString lastStatusText() const
    {
        const QStringList all = texts(K::DevStatus);
        return all.isEmpty() ? QString() : all.last();
    }
    // A fresh task report, so the device takes it even if an identical one came before.
    QByteArray taskReport(int copies, int finished = 0)
    {
        return LoopbackCutter::frame(
            QStringLiteral("CCMD;66,1,job%1.plt,%2,%3,0,0,0,0;").arg(++reports).arg(copies).arg(finished).toLatin1());
    }

    std::unique_ptr<KTRV8> factory;
    QPointer<KTRV8> device;
    std::unique_ptr<QSignalSpy> messages;
    int reports = 0;
};

// Acknowledges every page and every repeated copy, as the cutter does when it is ready again.
LoopbackCutter::Script acknowledgingCutter()
{
    return [](const QByteArray& frame) -> QList<QByteArray> {
        const QByteArray p = LoopbackCutter::payloadOf(frame);
        if (p.startsWith("PPLT;") || p == "CCMD;30,1;")
            return {LoopbackCutter::frame("CCMD;4,0;")};
        return {};
    };
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition() && !deadline.hasExpired())
        QTest::qWait(5);
    return condition();
}

bool connectTcp(Rig& rig, quint16 port)
{
    rig.device->setIPAddress(QStringLiteral("127.0.0.1"));
    rig["TCP_PORT"]->setValue(int(port));
    return rig.device->connectDevice() && waitFor([&] { return rig.status() == K::Working; });
}

bool waitDisconnected(Rig& rig, const char* text)
{
    return waitFor([&] { return rig.status() == K::DisConnected && rig.lastStatusText() == QLatin1String(text); });
}

// Proves the device still works end to end: a one-copy job of one page on the given cutter,
// the page arriving whole and the copy counted. Empty on success, otherwise what went wrong.
QString runOnePageJob(Rig& rig, LoopbackCutter& cutter)
{
    cutter.setScript(acknowledgingCutter());
    cutter.send(rig.taskReport(1));
    if (!waitFor(
            [&] { return rig.task().value("TaskCopies").toInt() == 1 && rig.task().value("Finished").toInt() == 0; }))
        return QStringLiteral("task report not taken");
    cutter.clearFrames();
    rig.device->setPlt(QString::fromLatin1(OnePage));
    rig.device->startTask();
    if (!waitFor([&] { return rig.task().value("Finished").toInt() == 1; }))
        return QStringLiteral("copy not finished, cutter got: ") + cutter.payloads().join(QLatin1Char('|'));
    const QString page = QStringLiteral("PPLT;%1PG;").arg(QLatin1String(OnePage));
    if (cutter.payloads().count(page) != 1)
        return QStringLiteral("page not received exactly once: ") + cutter.payloads().join(QLatin1Char('|'));
    if (rig.task().value("Percent").toInt() != 100 || rig.task().value("Status").toInt() != 0)
        return QStringLiteral("task record not completed");
    return QString();
}

QString reconnectAndRunJob(Rig& rig, LoopbackCutter& cutter)
{
    if (!connectTcp(rig, cutter.port()) || !cutter.waitForConnection())
        return QStringLiteral("no reconnection");
    return runOnePageJob(rig, cutter);
}

QByteArray ccmd(const QByteArray& payload)
{
    return LoopbackCutter::frame("CCMD;" + payload);
}

} // namespace

class tst_FaultMatrix : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void peerClosesMidFrame();
    void peerClosesMidPage_data();
    void peerClosesMidPage();
    void peerClosesMidCopy();
    void peerNeverAnswers();
    void closedPort();
    void usbNodeVanishesMidJob();

    void repliesSplitAtEveryByte();
    void repliesOneByteAtATimeOverTcp();
    void junkAroundAndInsideFrames_data();
    void junkAroundAndInsideFrames();
    void hugeFrameWithoutEnd();
    void tenThousandFramesInOneRead_data();
    void tenThousandFramesInOneRead();

    void cloudAnswersBadly_data();
    void cloudAnswersBadly();
    void cloudClosesWebSocket();

    void deleteWithEventPending_data();
    void deleteWithEventPending();
    void deleteFromSignal_data();
    void deleteFromSignal();
    void connectRepeatedlyWhileConnecting_data();
    void connectRepeatedlyWhileConnecting();

    void lifecycleLeavesNothingBehind();
};

void tst_FaultMatrix::initTestCase()
{
    qRegisterMetaType<K::KTDeviceMessage>("KTDeviceMessage");
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
    QTest::qWait(20); // let the half frame reach the device before the line drops
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

// Every way of cutting one stream in two gives the same result as the stream in one piece.
void tst_FaultMatrix::repliesSplitAtEveryByte()
{
    const QByteArray stream =
        ccmd("51,0,V2.0.1;") + ccmd("66,1,sign.plt,2,1,50.5,0,0,0;") + ccmd("55,0,QR-42;") + ccmd("45,0,RV8-0007;");
    for (int cut = 1; cut < stream.size(); ++cut) {
        Rig rig;
        rig.device->slot_usb_read(stream.left(cut));
        rig.device->slot_usb_read(stream.mid(cut));
        QVERIFY2(rig.pending().isEmpty(), qPrintable(QString::number(cut)));
        QCOMPARE(rig["FIRMWARE"]->value().toString(), QString("V2.0.1"));
        QCOMPARE(rig["DEVICE_ID"]->value().toString(), QString("RV8-0007"));
        QCOMPARE(rig.texts(K::DevTasK), QStringList{"66,1,sign.plt,2,1,50.5,0,0,0"});
        QCOMPARE(rig.texts(K::Qrcode), QStringList{"QR-42"});
        QCOMPARE(rig.task().value("Percent").toInt(), 50);
    }
}

void tst_FaultMatrix::repliesOneByteAtATimeOverTcp()
{
    Rig rig;
    RawPeer peer;
    QVERIFY(connectTcp(rig, peer.port()));
    QVERIFY(waitFor([&] { return peer.isConnected(); }));
    const QByteArray stream = ccmd("51,0,V3.1;") + ccmd("55,0,QR-7;") + ccmd("45,0,RV8-0042;");
    for (char byte : stream) {
        peer.send(QByteArray(1, byte));
        QTest::qWait(1);
    }
    QTRY_COMPARE(rig["DEVICE_ID"]->value().toString(), QString("RV8-0042"));
    QCOMPARE(rig["FIRMWARE"]->value().toString(), QString("V3.1"));
    QCOMPARE(rig.texts(K::Qrcode), QStringList{"QR-7"});
}

// clang-format off
void tst_FaultMatrix::junkAroundAndInsideFrames_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<QString>("deviceId");
    const QByteArray junk("\x00\xff\xfe\x80garbage\x00\xc3\x28", 15);
    const QByteArray id = ccmd("45,0,RV8-1;");
    QTest::newRow("junk between") << junk + ccmd("51,0,V1;") + junk + id + junk << "V1" << "RV8-1";
    QTest::newRow("NUL inside a value") << ccmd(QByteArray("51,0,V\x00" "1;", 9)) + id << QString::fromUtf8("V\0" "1", 3) << "RV8-1";
    QTest::newRow("non-UTF-8 inside a value") << ccmd("51,0,V\xff\xfe;") + id << QString::fromUtf8("V\xff\xfe") << "RV8-1";
    QTest::newRow("start byte in junk") << QByteArray("\x02\x02junk\x02") + ccmd("51,0,V2;") + id << "V2" << "RV8-1";
    QTest::newRow("end byte alone") << QByteArray("\x03\x03") + ccmd("51,0,V3;") + "\x03" + id << "V3" << "RV8-1";
    QTest::newRow("truncated frame before a whole one") << ccmd("51,0,LOST;").left(8) + ccmd("51,0,V4;") + id << "V4" << "RV8-1";
    QTest::newRow("wrong length field") << QByteArray("\x02" "999;CCMD;51,0,V5;\x03") + id << "V5" << "RV8-1";
    QTest::newRow("unknown kind and code") << LoopbackCutter::frame("XYZ;1;2;") + ccmd("9999,0,1;") + id << "" << "RV8-1";
    QTest::newRow("empty fields") << ccmd(";;;") + ccmd(",,,,;") + ccmd("51;") + id << "" << "RV8-1";
}
// clang-format on

// Over a real socket; the device keeps decoding correctly after whatever came first.
void tst_FaultMatrix::junkAroundAndInsideFrames()
{
    QFETCH(QByteArray, stream);
    QFETCH(QString, firmware);
    QFETCH(QString, deviceId);
    Rig rig;
    LoopbackCutter cutter;
    QVERIFY(connectTcp(rig, cutter.port()));
    QVERIFY(cutter.waitForConnection());
    cutter.send(stream);
    QTRY_COMPARE(rig["DEVICE_ID"]->value().toString(), deviceId);
    QCOMPARE(rig["FIRMWARE"]->value().toString(), firmware);
    QCOMPARE(rig.status(), int(K::Working));
    QCOMPARE(runOnePageJob(rig, cutter), QString());
}

// Megabytes that never end a frame: the device keeps at most MaxPendingReplyBytes of them and
// still decodes the frame that follows.
void tst_FaultMatrix::hugeFrameWithoutEnd()
{
    Rig rig;
    LoopbackCutter cutter;
    QVERIFY(connectTcp(rig, cutter.port()));
    QVERIFY(cutter.waitForConnection());
    const QByteArray chunk(256 * 1024, 'A');
    cutter.send("\x02"
                "99999999;CCMD;51,0,");
    int largest = 0;
    int largestCapacity = 0;
    const auto sample = [&] {
        largest = qMax(largest, rig.pending().size());
        largestCapacity = qMax(largestCapacity, rig.pending().capacity());
    };
    for (int i = 0; i < 24; ++i) { // 6 MiB
        cutter.send(chunk);
        QTest::qWait(2);
        sample();
    }
    cutter.send(ccmd("51,0,V6;"));
    QVERIFY(waitFor(
        [&] {
            sample();
            return rig["FIRMWARE"]->value().toString() == QLatin1String("V6");
        },
        30000));
    QVERIFY2(largest > KTCommonInterfacePrivate::MaxPendingReplyBytes / 2, "the flood never reached the device");
    QVERIFY(largest <= KTCommonInterfacePrivate::MaxPendingReplyBytes);
    QVERIFY2(largestCapacity <= 2 * KTCommonInterfacePrivate::MaxPendingReplyBytes + 64 * 1024,
             qPrintable(QString::number(largestCapacity)));
    QVERIFY(rig.pending().isEmpty());
    QCOMPARE(runOnePageJob(rig, cutter), QString());
}

void tst_FaultMatrix::tenThousandFramesInOneRead_data()
{
    QTest::addColumn<bool>("overTcp");
    QTest::newRow("read slot") << false;
    QTest::newRow("tcp") << true;
}

// Each of 10 000 distinct task reports is handled once and in order, in time linear in the input.
void tst_FaultMatrix::tenThousandFramesInOneRead()
{
    QFETCH(bool, overTcp);
    constexpr int Count = 10000;
    QByteArray stream;
    for (int i = 0; i < Count; ++i)
        stream += ccmd(QStringLiteral("66,1,big.plt,%1,%2,0,0,0,0;").arg(Count).arg(i).toLatin1());
    Rig rig;
    LoopbackCutter cutter;
    QElapsedTimer clock;
    clock.start();
    if (overTcp) {
        QVERIFY(connectTcp(rig, cutter.port()));
        QVERIFY(cutter.waitForConnection());
        cutter.send(stream);
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts(K::DevTasK).size(), Count, 60000);
    } else {
        rig.device->slot_usb_read(stream);
    }
    const QStringList reports = rig.texts(K::DevTasK);
    QCOMPARE(reports.size(), Count);
    for (int i : {0, 1, Count / 2, Count - 1})
        QCOMPARE(reports.at(i), QStringLiteral("66,1,big.plt,%1,%2,0,0,0,0").arg(Count).arg(i));
    QCOMPARE(rig.task().value("Finished").toInt(), Count - 1);
    QVERIFY(rig.pending().isEmpty());
    qDebug() << "TestFaultMatrix::tenThousandFramesInOneRead" << clock.elapsed() << "ms";
}

// The cloud answers registration badly. Nothing is reported, nothing is corrupted; a lookup
// without any HTTP answer is retried; a later registration with a working cloud succeeds.
void tst_FaultMatrix::cloudAnswersBadly_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("id");       // "id" in the record afterwards, -1: none
    QTest::addColumn<bool>("retried"); // the lookup is asked again
    QTest::newRow("500") << int(HttpPeer::Answer) << 500 << QByteArray("{\"detail\":\"boom\"}") << -1 << false;
    QTest::newRow("garbage JSON") << int(HttpPeer::Answer) << 200 << QByteArray("{\"id\": 4,,]\xff") << 0 << false;
    QTest::newRow("JSON array") << int(HttpPeer::Answer) << 200 << QByteArray("[1,2]") << 0 << false;
    QTest::newRow("empty body") << int(HttpPeer::Answer) << 200 << QByteArray() << 0 << false;
    QTest::newRow("id of the wrong type") << int(HttpPeer::Answer) << 200 << QByteArray("{\"id\":\"7\"}") << 0 << false;
    QTest::newRow("never answers") << int(HttpPeer::Silent) << 0 << QByteArray() << -1 << true;
    QTest::newRow("closes the connection") << int(HttpPeer::Close) << 0 << QByteArray() << -1 << true;
}

void tst_FaultMatrix::cloudAnswersBadly()
{
    QFETCH(int, mode);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(int, id);
    QFETCH(bool, retried);
    Rig rig;
    HttpPeer peer;
    peer.mode = HttpPeer::Mode(mode);
    peer.status = status;
    peer.body = body;
    NimbraCloud badCloud(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(peer.port())),
                         QStringLiteral("ws://127.0.0.1:%1/").arg(peer.port()));
    badCloud.setTimeout(300);
    KTCommonInterfacePrivate::setCloudRetryInterval(*rig.device, 50);
    rig.device->setNimbraCloud(&badCloud, DeviceCode);
    // Three lookups at least: Qt's own resend accounts for one at most.
    QVERIFY(waitFor([&] { return peer.paths.count("GET /device") >= (retried ? 3 : 1); }));
    // Qt's HTTP client may send a request again once when the connection is closed on it.
    QVERIFY(waitFor([&] { return peer.paths.count("PATCH /device_model") >= 1; }));
    if (id >= 0)
        QTRY_COMPARE(KTCommonInterfacePrivate::cloudRecord(*rig.device).value("id").toInt(-1), id);
    else
        QTest::qWait(150); // time for an answer that must change nothing
    if (!retried)
        QCOMPARE(peer.paths.count("GET /device"), 1);
    const QJsonObject record = KTCommonInterfacePrivate::cloudRecord(*rig.device);
    QCOMPARE(record.value("code").toString(), DeviceCode);
    QCOMPARE(record.value("id").toInt(-1), id);
    QCOMPARE(rig["DEVICE_CLOUD"]->value().toJsonObject(), record);
    QVERIFY(rig.texts(K::DevStatus).isEmpty());

    LocalCloudService service;
    QVERIFY(service.listen(0));
    NimbraCloud goodCloud(service.httpBase(), service.wsBase());
    rig.device->setNimbraCloud(&goodCloud, DeviceCode);
    QTRY_VERIFY(KTCommonInterfacePrivate::cloudRecord(*rig.device).value("id").toInt() > 0);
    QCOMPARE(service.deviceCount(), 1);
    // Nothing of the bad registration reaches the good one.
    const int requests = peer.paths.size();
    QTest::qWait(400); // past the bad cloud's timeout and the retry interval
    QCOMPARE(KTCommonInterfacePrivate::cloudRecord(*rig.device).value("id").toInt(),
             service.deviceByCode(DeviceCode).value("id").toInt());
    QCOMPARE(peer.paths.size(), requests);
}

void tst_FaultMatrix::cloudClosesWebSocket()
{
    Rig rig;
    LocalCloudService service;
    QVERIFY(service.listen(0));
    NimbraCloud cloud(service.httpBase(), service.wsBase());
    rig.device->setNimbraCloud(&cloud, DeviceCode);
    rig.device->connect_websocket();
    QTRY_COMPARE(service.connectedDevices(), QStringList{DeviceCode});
    service.closeDevice(DeviceCode);
    QTRY_COMPARE(rig.lastStatusText(), QString("WEB SOCKET DISCONNECTED."));

    rig.device->connect_websocket();
    QTRY_COMPARE(service.connectedDevices(), QStringList{DeviceCode});
    QTRY_COMPARE(rig.lastStatusText(), QString("WEB SOCKET CONNECTED."));
    QVERIFY(service.sendToDevice(DeviceCode, QStringLiteral("state?")));
    QTRY_COMPARE(service.textsFrom(DeviceCode).size(), 1);
    QVERIFY(service.textsFrom(DeviceCode).first().contains("Runtime"));
}

// The host deletes the device while something is still on its way to it. Nothing may reach
// the deleted device; its peers see it go; a new device on the same peers works.
void tst_FaultMatrix::deleteWithEventPending_data()
{
    QTest::addColumn<QString>("pending");
    for (const char* row : {"tcp read", "usb read", "cloud request", "cloud retry wait", "websocket text"})
        QTest::newRow(row) << row;
}

void tst_FaultMatrix::deleteWithEventPending()
{
    QFETCH(QString, pending);
    auto rig = std::make_unique<Rig>();
    RawPeer peer;
    PseudoTerminal pty;
    LocalCloudService service;
    QVERIFY(service.listen(0));
    NimbraCloud cloud(service.httpBase(), service.wsBase());
    cloud.setTimeout(100);
    KTCommonInterfacePrivate::setCloudRetryInterval(*rig->device, 1000);
    int lookups = 1; // requests the service sees in all
    int settleMs = 300;

    if (pending == "tcp read") {
        lookups = 0;
        QVERIFY(connectTcp(*rig, peer.port()));
        QVERIFY(waitFor([&] { return peer.isConnected(); }));
        peer.send(rig->taskReport(1) + ccmd("55,0,QR;")); // flushed: in the device's socket now
    } else if (pending == "usb read") {
        rig->device->setUSBPath(pty.slavePath());
        QVERIFY(rig->device->connectDevice());
        QVERIFY(waitFor([&] { return rig->status() == K::Working; }));
        lookups = 0;
        QVERIFY(pty.write(rig->taskReport(1) + ccmd("55,0,QR;")));
    } else if (pending == "cloud request") {
        service.setFault(QStringLiteral("device"), LocalCloudService::Fault{0, 0, true, -1});
        rig->device->setNimbraCloud(&cloud, DeviceCode);
        QVERIFY(waitFor([&] { return !service.requests(QStringLiteral("device")).isEmpty(); }));
    } else if (pending == "cloud retry wait") {
        service.setFault(QStringLiteral("device"), LocalCloudService::Fault{0, 0, true, 1});
        rig->device->setNimbraCloud(&cloud, DeviceCode);
        QVERIFY(waitFor([&] { return !service.requests(QStringLiteral("device")).isEmpty(); }));
        QTest::qWait(400); // the request timed out long ago: the retry is waiting
        QCOMPARE(service.requests(QStringLiteral("device")).size(), 1);
        settleMs = 1300; // past the retry
    } else if (pending == "websocket text") {
        rig->device->setNimbraCloud(&cloud, DeviceCode);
        rig->device->connect_websocket();
        QTRY_COMPARE(service.connectedDevices(), QStringList{DeviceCode});
        QVERIFY(service.sendToDevice(DeviceCode, QStringLiteral("state?")));
    }
    QPointer<KTRV8> gone = rig->device.data();
    rig.reset();
    QVERIFY(gone.isNull());
    QTest::qWait(settleMs); // past every timeout and retry above
    QCOMPARE(service.requests(QStringLiteral("device")).size(), lookups);
    QVERIFY(service.textsFrom(DeviceCode).isEmpty());
    QTRY_VERIFY(service.connectedDevices().isEmpty());
    QTRY_VERIFY(!peer.isConnected());

    // The peers are still good for a new device.
    LoopbackCutter cutter;
    Rig next;
    QCOMPARE(reconnectAndRunJob(next, cutter), QString());
    service.clearFaults();
    next.device->setNimbraCloud(&cloud, DeviceCode);
    QTRY_VERIFY(KTCommonInterfacePrivate::cloudRecord(*next.device).value("id").toInt() > 0);
}

// The host deletes the device from a slot of its own, the moment the device tells it
// something: its message, a property's valueChanged, an editor's signal. The signal comes
// through a real transport (a cutter on a loopback socket, or on a pseudo-terminal), a timer,
// a cloud answer or a call of the host. Whatever the device was doing stops there, the rest of
// the read is dropped, and a transport still inside its own signal is freed once it returns.
// Qt's own code touching freed memory is invisible to ASan: the faultmatrix_valgrind test runs
// this function under valgrind, where any invalid access or definite leak fails it.
// clang-format off
void tst_FaultMatrix::deleteFromSignal_data()
{
    QTest::addColumn<QString>("link");    // tcp, usb, or heartbeat (a family-157 device on tcp)
    QTest::addColumn<QString>("watch");   // "message", a property key, or "editor:" and a key
    QTest::addColumn<QString>("text");    // for "message": the text the host reacts to
    QTest::addColumn<QString>("trigger"); // "peer:" and replies separated by "|", or an action
    const QString copy = "peer:4,0;|4,0;";
    const QString report = "peer:66,1,b.plt,2,1,50,0,0,0;";
    QTest::newRow("tcp: finished copy") << "tcp" << "message" << "" << copy;
    QTest::newRow("tcp: pause") << "tcp" << "message" << "PAUSE" << "peer:27,0,0;";
    QTest::newRow("tcp: resume") << "tcp" << "message" << "RESUME" << "peer:27,0,1;";
    QTest::newRow("tcp: stop confirmed") << "tcp" << "message" << "" << "peer:27,0,2;";
    QTest::newRow("tcp: cutter stops") << "tcp" << "message" << "STOP" << "peer:1001,0;";
    QTest::newRow("tcp: QR code") << "tcp" << "message" << "QR-1" << "peer:55,0,QR-1;";
    QTest::newRow("tcp: task report") << "tcp" << "message" << "66,1,b.plt,2,1,50,0,0,0" << report;
    QTest::newRow("tcp: LAST_TIME") << "tcp" << "LAST_TIME" << "" << "peer:51,0,V1;";
    QTest::newRow("tcp: TASK of a task report") << "tcp" << "TASK" << "" << report;
    QTest::newRow("tcp: TASK of a finished copy") << "tcp" << "TASK" << "" << copy;
    QTest::newRow("tcp: TASK_PPLT of the next page") << "tcp" << "TASK_PPLT" << "" << "peer:4,0;";
    QTest::newRow("tcp: link made") << "tcp" << "message" << "TCP CONNECTED." << "connect";
    QTest::newRow("tcp: STATUS on link made") << "tcp" << "STATUS" << "" << "connect";
    QTest::newRow("tcp: link lost") << "tcp" << "message" << "TCP DISCONNECTED." << "drop";
    QTest::newRow("tcp: link lost, host reconnects first") << "tcp" << "message" << "TCP DISCONNECTED."
                                                           << "drop, host reconnects";
    QTest::newRow("job started") << "tcp" << "message" << "" << "start";
    QTest::newRow("TASK_START_TIME on start") << "tcp" << "TASK_START_TIME" << "" << "start";
    QTest::newRow("MARGIN taken from its editor on start") << "tcp" << "MARGIN" << "" << "start";
    QTest::newRow("MOVE") << "tcp" << "MOVE" << "" << "move";
    QTest::newRow("TASK_START_TIME on stopTask") << "tcp" << "TASK_START_TIME" << "" << "stop";
    QTest::newRow("TASK on stopTask") << "tcp" << "TASK" << "" << "stop";
    QTest::newRow("group child taken from its editor") << "tcp" << "SCALE_X" << "" << "from editors";
    QTest::newRow("group child's editor filled") << "tcp" << "editor:SCALE_X" << "" << "to editors";
    QTest::newRow("DEVICE_CLOUD on registration") << "tcp" << "DEVICE_CLOUD" << "" << "register";
    QTest::newRow("DEVICE_CLOUD on a cloud answer") << "tcp" << "DEVICE_CLOUD" << "" << "cloud answers";
    QTest::newRow("usb: finished copy") << "usb" << "message" << "" << copy;
    QTest::newRow("usb: QR code") << "usb" << "message" << "QR-1" << "peer:55,0,QR-1;";
    QTest::newRow("usb: TASK of a task report") << "usb" << "TASK" << "" << report;
    QTest::newRow("usb: LAST_TIME") << "usb" << "LAST_TIME" << "" << "peer:51,0,V1;";
    QTest::newRow("usb: link made") << "usb" << "message" << "USB CONNECTED." << "connect";
    QTest::newRow("usb: CONNECT_MODE on link made") << "usb" << "CONNECT_MODE" << "" << "connect";
    QTest::newRow("usb: node lost") << "usb" << "message" << "USB DISCONNECTED." << "hang up";
    QTest::newRow("heartbeat timeout") << "heartbeat" << "message" << "HEARTBEAT TIMEOUT 30S." << "tick";
}
// clang-format on

void tst_FaultMatrix::deleteFromSignal()
{
    QFETCH(QString, link);
    QFETCH(QString, watch);
    QFETCH(QString, text);
    QFETCH(QString, trigger);
    LoopbackCutter cutter;
    PseudoTerminal pty;
    LocalCloudService service;
    QVERIFY(service.listen(0));
    NimbraCloud cloud(service.httpBase(), service.wsBase());
    KTRV8 factory;
    KTCommonInterface family157;
    QPointer<KTCommonInterface> device(link == "heartbeat" ? static_cast<KTCommonInterface*>(family157.initInstance())
                                                           : static_cast<KTCommonInterface*>(factory.initInstance()));
    const auto property = [&device](const char* key) { return device->property_ptr(key); };
    const auto isWorking = [&] { return property("STATUS")->value().toInt() == K::Working; };
    const auto send = [&](const QByteArray& bytes) {
        return link == "usb" ? pty.write(bytes) : (cutter.send(bytes), true);
    };

    // A connected device in the middle of the first copy of a two-page, two-copy job, with the
    // spacing and scale editors on a panel.
    QWidget panel;
    new QVBoxLayout(&panel);
    if (link == "usb")
        device->setUSBPath(pty.slavePath());
    device->setIPAddress(QStringLiteral("127.0.0.1"));
    property("TCP_PORT")->setValue(int(cutter.port()));
    if (link == "heartbeat")
        property("HEARTBEAT")->setValue(1);
    if (trigger != "connect") {
        QVERIFY(device->connectDevice());
        QVERIFY(waitFor(isWorking));
    }
    if (link == "heartbeat") {
        property("LAST_TIME")->setValue(QDateTime::currentDateTime().addSecs(-60));
    } else if (trigger != "connect") {
        QVERIFY(send(LoopbackCutter::frame("CCMD;66,1,a.plt,2,0,0,0,0,0;")));
        QTRY_COMPARE(property("TASK")->value().toJsonObject().value("TaskCopies").toInt(), 2);
        property("MARGIN")->create_ui_ctrl(&panel, QStringLiteral("MARGIN"), true);
        property("SCALE")->create_ui_ctrl(&panel, QStringLiteral("SCALE"), true);
        property("SCALE_X")->setValue(100.0); // differs from what its editor shows
        property("TASK_COPIES")->setValue(2);
        device->setPlt(QStringLiteral("PU0,0;PD9,9;PG;PU1,1;PD8,8;PG;"));
        device->startTask();
        if (trigger == "start") {
            // A job started before: the next start stamps its time anew (both the time and
            // the one it replaced are older, so the stamp is a change), and the spacing typed
            // since then is taken from the editor.
            property("TASK_START_TIME")->setValue(QDateTime::currentDateTime().addSecs(-60));
            property("TASK_START_TIME")->setValue(QDateTime::currentDateTime().addSecs(-30));
            device->setPlt(QStringLiteral("PU0,0;PD9,9;PG;"));
            panel.findChild<QSpinBox*>(QStringLiteral("MARGIN"))->setValue(35);
        }
        if (trigger == "cloud answers")
            device->setNimbraCloud(&cloud, DeviceCode);
    }

    // A stamp equal to the current or the previous value is no change, and the replies before
    // may have been stamped within this millisecond: two older stamps make the next a change.
    if (watch == "LAST_TIME" && trigger != "connect") {
        property("LAST_TIME")->setValue(QDateTime::currentDateTime().addSecs(-120));
        property("LAST_TIME")->setValue(QDateTime::currentDateTime().addSecs(-60));
    }

    bool deleted = false;
    const auto hostDeletes = [&] {
        if (deleted)
            return;
        deleted = true;
        if (trigger == "drop, host reconnects")
            QVERIFY(device->connectDevice());
        delete device.data();
    };
    if (watch == "message") {
        QObject::connect(device.data(), &K::message, [&](K::KTDeviceMessage, const QString& t) {
            if (t == text)
                hostDeletes();
        });
    } else if (watch.startsWith("editor:")) {
        auto* editor = panel.findChild<QDoubleSpinBox*>(watch.mid(7));
        QVERIFY(editor);
        QObject::connect(editor, QOverload<double>::of(&QDoubleSpinBox::valueChanged), hostDeletes);
    } else {
        QObject::connect(property(watch.toLatin1().constData()), &KTDeviceProperty::valueChanged, hostDeletes);
    }

    if (trigger.startsWith("peer:")) {
        QByteArray bytes;
        for (const QString& reply : trigger.mid(5).split(QLatin1Char('|')))
            bytes += ccmd(reply.toLatin1());
        QVERIFY(send(bytes + ccmd("51,0,AFTER;"))); // in the same read: never decoded
    } else if (trigger == "connect") {
        QVERIFY(device->connectDevice());
    } else if (trigger.startsWith("drop")) {
        cutter.dropClient();
    } else if (trigger == "hang up") {
        pty.hangUp();
    } else if (trigger == "start") {
        device->startTask();
    } else if (trigger == "move") {
        device->move(1, 1);
    } else if (trigger == "stop") {
        device->stopTask();
    } else if (trigger == "from editors") {
        property("SCALE")->from_ui_ctrl();
    } else if (trigger == "to editors") {
        property("SCALE")->to_ui_ctrl();
    } else if (trigger == "register") {
        device->setNimbraCloud(&cloud, DeviceCode);
    }
    QTRY_VERIFY_WITH_TIMEOUT(deleted, 10000);
    QVERIFY(device.isNull());
    QTRY_VERIFY(!cutter.isConnected());
    if (trigger == "register") {
        QTest::qWait(100); // a request would be under way by now
        QVERIFY(service.requests(QStringLiteral("device")).isEmpty());
        QVERIFY(service.requests(QStringLiteral("device_model")).isEmpty());
    }
}

// A host hammering connectDevice while a connection is being made ends with one working link.
void tst_FaultMatrix::connectRepeatedlyWhileConnecting_data()
{
    QTest::addColumn<bool>("usb");
    QTest::newRow("tcp") << false;
    QTest::newRow("usb") << true;
}

void tst_FaultMatrix::connectRepeatedlyWhileConnecting()
{
    QFETCH(bool, usb);
    Rig rig;
    LoopbackCutter cutter;
    PseudoTerminal pty;
    PtyCutter ptyCutter(pty);
    if (usb)
        rig.device->setUSBPath(pty.slavePath());
    rig.device->setIPAddress(QStringLiteral("127.0.0.1"));
    rig["TCP_PORT"]->setValue(int(cutter.port()));
    int accepted = 0;
    for (int i = 0; i < 50; ++i)
        accepted += rig.device->connectDevice() ? 1 : 0;
    QVERIFY(accepted >= 1);
    QVERIFY(waitFor([&] { return rig.status() == K::Working; }));
    QTest::qWait(100); // any late reports of the abandoned attempts
    QCOMPARE(rig.status(), int(K::Working));
    // The attempt under way is not aborted: no disconnection is reported that never was.
    QCOMPARE(rig.texts(K::DevStatus), QStringList{usb ? "USB CONNECTED." : "TCP CONNECTED."});
    QVERIFY(!rig.device->connectDevice());

    if (usb) {
        rig.device->setPlt(QString::fromLatin1(OnePage));
        QVERIFY(pty.write(rig.taskReport(1)));
        QTRY_COMPARE(rig.task().value("TaskCopies").toInt(), 1);
        rig.device->startTask();
        QTRY_COMPARE(rig.task().value("Finished").toInt(), 1);
        QCOMPARE(ptyCutter.frames.size(), 3); // mark type, the page, the status request
    } else {
        QVERIFY(cutter.waitForConnection());
        QCOMPARE(runOnePageJob(rig, cutter), QString());
    }
}

// The whole life of a device: everything it made is gone after the host deletes it.
void tst_FaultMatrix::lifecycleLeavesNothingBehind()
{
    LocalCloudService service;
    QVERIFY(service.listen(0));
    NimbraCloud cloud(service.httpBase(), service.wsBase());
    LoopbackCutter cutter;
    for (int round = 0; round < 3; ++round) {
        auto rig = std::make_unique<Rig>();
        QCOMPARE(reconnectAndRunJob(*rig, cutter), QString());
        rig->device->setNimbraCloud(&cloud, DeviceCode);
        QTRY_VERIFY(KTCommonInterfacePrivate::cloudRecord(*rig->device).value("id").toInt() > 0);
        rig->device->connect_websocket();
        QTRY_COMPARE(service.connectedDevices(), QStringList{DeviceCode});
        rig->device->stopTask();
        rig.reset();
        QTRY_VERIFY(!cutter.isConnected());
        QTRY_VERIFY(service.connectedDevices().isEmpty());
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
#ifdef KT_LEAK_CHECK
    QCOMPARE(__lsan_do_recoverable_leak_check(), 0);
#endif
}

QTEST_MAIN(tst_FaultMatrix)
#include "tst_faultmatrix.moc"
