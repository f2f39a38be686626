#include "ktcommoninterface.h"
#include "ktcommoninterface_p.h"
#include "ktdeviceproperty.h"
#include "localcloudservice.h"
#include "loopbackcutter.h"
#include "messagetexts.h"
#include "nimbracloud.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

const QString Timeout = QStringLiteral("HEARTBEAT TIMEOUT 30S.");
const QString HeartbeatRequest = QStringLiteral("CCMD;1010;");
const QString Marker = QStringLiteral("CMD;SET87:1;"); // "FLAG_POINT": closes a batch of frames

// A family-157 device whose heartbeat timer the test can look at.
class Device : public KTCommonInterface
{
public:
    Device()
    {
        init157(this);
        move_157(this);
    }
    using KTCommonInterface::deviceTimer;

    int status() { return property_ptr("STATUS")->value().toInt(); }
    void drop(const char* key)
    {
        delete property_ptr(key);
        setProperty(key, QVariant());
    }
    void sendMarker() { sendCMD(property_ptr("FLAG_POINT")->set_cmd_bytes()); }
};

} // namespace

class tst_TaskControl : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<KTDeviceInterface::KTDeviceMessage>("KTDeviceMessage"); }
    void init();
    void cleanup();

    void tickChecksSilenceThenSends_data();
    void tickChecksSilenceThenSends();
    void firstRequestOnePeriodAfterConnection();
    void lateConnectionIsNotATimeout();
    void heartbeatSwitch_data();
    void heartbeatSwitch();

    void startTaskSends_data();
    void startTaskSends();
    void moveStepCodes_data();
    void moveStepCodes();
    void stopTaskPostsRecordThenResets();

private:
    void connectDevice();
    QStringList framesUpToMarker();

    std::unique_ptr<LoopbackCutter> cutter;
    QPointer<Device> device;
    std::unique_ptr<QSignalSpy> messages;
};

void tst_TaskControl::init()
{
    cutter = std::make_unique<LoopbackCutter>();
    device = new Device;
    device->property_ptr("TCP_PORT")->setValue(int(cutter->port()));
    device->setIPAddress(QStringLiteral("127.0.0.1"));
    messages = std::make_unique<QSignalSpy>(device.data(), &KTDeviceInterface::message);
}

void tst_TaskControl::cleanup()
{
    messages.reset();
    delete device.data();
    cutter.reset();
}

void tst_TaskControl::connectDevice()
{
    QVERIFY(device->connectDevice());
    QVERIFY(cutter->waitForConnection());
    QTRY_VERIFY_WITH_TIMEOUT(statusTexts(*messages).contains(QStringLiteral("TCP CONNECTED.")), 5000);
    QCOMPARE(device->status(), int(KTDeviceInterface::Working));
}

// Frames received up to the marker, which is dropped.
QStringList tst_TaskControl::framesUpToMarker()
{
    device->sendMarker();
    if (!QTest::qWaitFor([this] { return cutter->payloads().contains(Marker); }, 5000))
        return {QStringLiteral("marker never arrived")};
    const QStringList payloads = cutter->payloads();
    const int end = payloads.indexOf(Marker);
    cutter->clearFrames();
    return payloads.mid(0, end);
}

void tst_TaskControl::tickChecksSilenceThenSends_data()
{
    QTest::addColumn<int>("silentSecs"); // -1: no "LAST_TIME"
    QTest::addColumn<bool>("heartbeat");
    QTest::addColumn<bool>("timeout");
    QTest::newRow("fresh") << 0 << true << false;
    QTest::newRow("exactly 30 s") << 30 << true << false;
    QTest::newRow("31 s") << 31 << true << true;
    QTest::newRow("an hour") << 3600 << true << true;
    QTest::newRow("no stamp") << -1 << true << false;
    QTest::newRow("no heartbeat, 31 s") << 31 << false << true;
    QTest::newRow("no heartbeat, fresh") << 0 << false << false;
}

void tst_TaskControl::tickChecksSilenceThenSends()
{
    QFETCH(int, silentSecs);
    QFETCH(bool, heartbeat);
    QFETCH(bool, timeout);
    connectDevice();
    device->heartbeat_switch(false); // ticks are driven by hand here
    cutter->clearFrames();
    if (!heartbeat)
        device->drop("HEARTBEAT");
    if (silentSecs < 0)
        device->drop("LAST_TIME");
    else
        device->property_ptr("LAST_TIME")->setValue(QDateTime::currentDateTime().addSecs(-silentSecs));
    messages->clear();

    device->slot_device_timer();

    QCOMPARE(statusTexts(*messages), timeout ? QStringList{Timeout} : QStringList());
    QCOMPARE(device->status(), int(timeout ? KTDeviceInterface::DisConnected : KTDeviceInterface::Working));
    if (timeout) {
        // Checked before sending: the request of this tick is already refused.
        QVERIFY(!cutter->waitForFrames(1, 100));
        QVERIFY(cutter->payloads().isEmpty());
    } else {
        QCOMPARE(framesUpToMarker(), heartbeat ? QStringList{HeartbeatRequest} : QStringList());
    }
}

void tst_TaskControl::firstRequestOnePeriodAfterConnection()
{
    device->property_ptr("HEARTBEAT")->setValue(1);
    QElapsedTimer clock;
    connect(device.data(), &KTDeviceInterface::message, this,
            [&clock](KTDeviceInterface::KTDeviceMessage, const QString& text) {
                if (text == QLatin1String("TCP CONNECTED."))
                    clock.start();
            });
    connectDevice();
    QVERIFY(cutter->waitForFrames(1, 5000));
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 900 && elapsed < 1900, qPrintable(QString::number(elapsed)));
    QCOMPARE(cutter->payloads().first(), HeartbeatRequest);
    QCOMPARE(device->deviceTimer.interval(), 1000);
}

// The cutter has said nothing since the parameter set was built a minute ago, but the
// connection itself shows it is there.
void tst_TaskControl::lateConnectionIsNotATimeout()
{
    device->property_ptr("HEARTBEAT")->setValue(1);
    device->property_ptr("LAST_TIME")->setValue(QDateTime::currentDateTime().addSecs(-60));
    connectDevice();
    // The first tick either sends its request or reports the silence.
    QTRY_VERIFY_WITH_TIMEOUT(!cutter->payloads().isEmpty() || statusTexts(*messages).contains(Timeout), 5000);
    QVERIFY(!statusTexts(*messages).contains(Timeout));
    QCOMPARE(cutter->payloads().first(), HeartbeatRequest);
    QCOMPARE(device->status(), int(KTDeviceInterface::Working));
}

void tst_TaskControl::heartbeatSwitch_data()
{
    QTest::addColumn<QVariant>("period"); // invalid: no "HEARTBEAT"
    QTest::addColumn<bool>("on");
    QTest::addColumn<int>("interval"); // 0: timer stopped
    QTest::newRow("2 s on") << QVariant(2) << true << 2000;
    QTest::newRow("2 s off") << QVariant(2) << false << 0;
    QTest::newRow("0 s floors at 1 s") << QVariant(0) << true << 1000;
    QTest::newRow("negative floors at 1 s") << QVariant(-5) << true << 1000;
    QTest::newRow("unsigned 7 s") << QVariant(7u) << true << 7000;
    QTest::newRow("no heartbeat") << QVariant() << true << 0;
}

void tst_TaskControl::heartbeatSwitch()
{
    QFETCH(QVariant, period);
    QFETCH(bool, on);
    QFETCH(int, interval);
    if (period.isValid())
        device->property_ptr("HEARTBEAT")->setValue(period);
    else
        device->drop("HEARTBEAT");
    device->deviceTimer.start(12345); // running with some other period beforehand
    device->heartbeat_switch(on);
    if (!period.isValid()) {
        QCOMPARE(device->deviceTimer.interval(), 12345); // left alone entirely
        return;
    }
    QCOMPARE(device->deviceTimer.isActive(), interval != 0);
    if (interval)
        QCOMPARE(device->deviceTimer.interval(), interval);
}

void tst_TaskControl::startTaskSends_data()
{
    QTest::addColumn<int>("mode"); // -1: no "TASK_MODE"
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<bool>("stamped");
    const QStringList cutJob{QStringLiteral("CMD;NUM:3;"), QStringLiteral("PLT;IN;PU0,0;PD100,100;")};
    QTest::newRow("cut job") << 0 << "" << cutJob << true;
    QTest::newRow("no mode: cut job") << -1 << "" << cutJob << true;
    QTest::newRow("QR job") << 1 << "" << QStringList{QStringLiteral("CCMD;54,2;")} << true;
    QTest::newRow("other mode") << 2 << "" << QStringList() << true;
    QTest::newRow("cut job without copies") << 0 << "TASK_COPIES" << QStringList() << false;
    QTest::newRow("cut job without PLT") << 0 << "TASK_PLT" << QStringList{QStringLiteral("CMD;NUM:3;")} << false;
    QTest::newRow("QR job without copies") << 1 << "QRCODE_COPIES" << QStringList() << false;
}

void tst_TaskControl::startTaskSends()
{
    QFETCH(int, mode);
    QFETCH(QString, missing);
    QFETCH(QStringList, frames);
    QFETCH(bool, stamped);
    connectDevice();
    device->heartbeat_switch(false);
    device->property_ptr("TASK_COPIES")->setValue(3);
    device->property_ptr("QRCODE_COPIES")->setValue(2);
    device->setPlt(QStringLiteral("IN;PU0,0;PD100,100;"));
    if (mode < 0)
        device->drop("TASK_MODE");
    else
        device->property_ptr("TASK_MODE")->setValue(mode);
    if (!missing.isEmpty())
        device->drop(missing.toLatin1().constData());
    cutter->clearFrames();

    const QDateTime before = QDateTime::currentDateTime();
    device->startTask();
    QCOMPARE(framesUpToMarker(), frames);
    KTDeviceProperty* start = device->property_ptr("TASK_START_TIME");
    QCOMPARE(start != nullptr, stamped);
    if (stamped) {
        const QDateTime at = start->value().toDateTime();
        QVERIFY(at >= before && at <= QDateTime::currentDateTime());
    }
}

void tst_TaskControl::moveStepCodes_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("x");
    QTest::newRow("back, still") << -5 << 0 << 100 << 0;
    QTest::newRow("forward, forward") << 7 << 1 << 32868 << 32868;
    QTest::newRow("still, back") << 0 << -1 << 0 << 100;
    QTest::newRow("extremes") << INT_MIN << INT_MAX << 100 << 32868;
}

void tst_TaskControl::moveStepCodes()
{
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(int, y);
    QFETCH(int, x);
    connectDevice();
    device->heartbeat_switch(false);
    cutter->clearFrames();
    device->move(first, second);
    QCOMPARE(device->property_ptr("MOVE_Y")->value().toInt(), y);
    QCOMPARE(device->property_ptr("MOVE_X")->value().toInt(), x);
    QCOMPARE(framesUpToMarker(),
             (QStringList{QStringLiteral("CMD;SET83:%1;").arg(y), QStringLiteral("CMD;SET82:%1;").arg(x)}));

    device->drop("MOVE_Y");
    device->move(1, -1);
    QCOMPARE(framesUpToMarker(), QStringList{QStringLiteral("CMD;SET82:100;")});
}

// The work record describes the task as it ended; the reset comes after it, and a second
// stop resets again without posting anything.
void tst_TaskControl::stopTaskPostsRecordThenResets()
{
    LocalCloudService service;
    QVERIFY(service.listen(0));
    NimbraCloud cloud(service.httpBase(), service.wsBase());
    const int id = service.addDevice(QJsonObject{{QStringLiteral("code"), QStringLiteral("AB3M7Z")}});
    device->setNimbraCloud(&cloud, QStringLiteral("AB3M7Z"));
    QTRY_COMPARE_WITH_TIMEOUT(KTCommonInterfacePrivate::cloudRecord(*device).value(QStringLiteral("id")).toInt(), id,
                              5000);

    auto* task = new KTDeviceProperty(nullptr);
    task->init(QJsonObject{{QStringLiteral("Status"), 2},
                           {QStringLiteral("FileName"), QStringLiteral("a.plt")},
                           {QStringLiteral("TaskCopies"), 3},
                           {QStringLiteral("Finished"), 2},
                           {QStringLiteral("Percent"), 66},
                           {QStringLiteral("Extra"), QStringLiteral("kept")}},
               QString(), QString(), 0, 0, 0, KTDeviceInterface::UnCMD, {});
    device->storeProperty("TASK", task);
    device->property_ptr("TASK_FILE_INFO")->setValue(QJsonObject{{QStringLiteral("path_length"), 10}});
    device->property_ptr("TASK_MODE")->setValue(2); // records the start, sends nothing
    device->startTask();
    QVERIFY(device->property_ptr("TASK_START_TIME")->value().toDateTime().isValid());

    const QJsonObject reset{{QStringLiteral("Status"), 0},     {QStringLiteral("FileName"), QString()},
                            {QStringLiteral("TaskCopies"), 0}, {QStringLiteral("Finished"), 0},
                            {QStringLiteral("Percent"), 100},  {QStringLiteral("Extra"), QStringLiteral("kept")}};
    for (int stop = 0; stop < 2; ++stop) {
        device->stopTask();
        QCOMPARE(task->value().toJsonObject(), reset);
        QVERIFY(!device->property_ptr("TASK_START_TIME")->value().toDateTime().isValid());
    }
    QTRY_COMPARE_WITH_TIMEOUT(service.workRecords().size(), 1, 5000);
    QCOMPARE(service.workRecords()[0].value(QStringLiteral("task_copies")).toInt(), 3);
    QCOMPARE(service.workRecords()[0].value(QStringLiteral("finish_copies")).toInt(), 2);
    cloud.customRequest(QStringLiteral("probe"), "GET", {}, {});
    QTRY_COMPARE_WITH_TIMEOUT(service.requests(QStringLiteral("probe")).size(), 1, 5000);
    QVERIFY(!QTest::qWaitFor([&service] { return service.requests(QStringLiteral("device_work_records")).size() > 1; },
                             50));
    QCOMPARE(service.requests(QStringLiteral("device_work_records")).size(), 1);
}

QTEST_GUILESS_MAIN(tst_TaskControl)
#include "tst_taskcontrol.moc"
