// The host deletes the device while something is on its way to it or from inside one of the
// device's own signals, and hammers connectDevice; nothing is left behind.
#include "faultmatrix.h"
#include "faultpeers.h"
#include "ktcommoninterface_p.h"
#include "localcloudservice.h"
#include "nimbracloud.h"
#include "pseudoterminal.h"

#include <QDateTime>
#include <QDoubleSpinBox>
#include <QNetworkAccessManager>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QWidget>

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
        QSignalSpy timedOut(cloud.findChild<QNetworkAccessManager*>(), &QNetworkAccessManager::finished);
        QVERIFY(waitFor([&] { return !service.requests(QStringLiteral("device")).isEmpty(); }));
        QTRY_VERIFY(!timedOut.isEmpty()); // the request timed out: the retry is waiting
        QCOMPARE(service.requests(QStringLiteral("device")).size(), 1);
        settleMs = 1300; // past the retry
    } else if (pending == "websocket text") {
        rig->device->setNimbraCloud(&cloud, DeviceCode);
        rig->device->connect_websocket();
        QTRY_COMPARE(service.connectedDevices(), QStringList{DeviceCode});
        // Its lookup on record first: what follows counts only what a deleted device sends.
        QVERIFY(waitFor([&] { return service.requests(QStringLiteral("device")).size() == lookups; }));
        QVERIFY(service.sendToDevice(DeviceCode, QStringLiteral("state?")));
    }
    QPointer<KTRV8> gone = rig->device.data();
    rig.reset();
    QVERIFY(gone.isNull());
    // Past every timeout and retry above, or until a request reaches the service after all.
    QVERIFY(!QTest::qWaitFor([&] { return service.requests(QStringLiteral("device")).size() != lookups; }, settleMs));
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

namespace {

// A device on its peers for one deleteFromSignal row: the loopback cutter, a pty, the fleet
// service, and the spacing and scale editors on a panel.
struct DeleteScene
{
    QString link;
    QString trigger;
    LoopbackCutter cutter;
    PseudoTerminal pty;
    LocalCloudService service;
    std::unique_ptr<NimbraCloud> cloud;
    KTRV8 factory;
    KTCommonInterface family157;
    QPointer<KTCommonInterface> device;
    QWidget panel;

    KTDeviceProperty* property(const char* key) const { return device->property_ptr(key); }
    bool send(const QByteArray& bytes) { return link == "usb" ? pty.write(bytes) : (cutter.send(bytes), true); }
    void connectMidJob();
    void startJob();
    void fire();
};

// Connected, in the middle of the first copy of a two-page, two-copy job (unless the row's
// trigger is the connection itself).
void DeleteScene::connectMidJob()
{
    QVERIFY(service.listen(0));
    cloud = std::make_unique<NimbraCloud>(service.httpBase(), service.wsBase());
    device = link == "heartbeat" ? static_cast<KTCommonInterface*>(family157.initInstance())
                                 : static_cast<KTCommonInterface*>(factory.initInstance());
    new QVBoxLayout(&panel);
    if (link == "usb")
        device->setUSBPath(pty.slavePath());
    device->setIPAddress(QStringLiteral("127.0.0.1"));
    property("TCP_PORT")->setValue(int(cutter.port()));
    if (link == "heartbeat")
        property("HEARTBEAT")->setValue(1);
    if (trigger == "connect")
        return;
    QVERIFY(device->connectDevice());
    QVERIFY(waitFor([this] { return property("STATUS")->value().toInt() == K::Working; }));
    if (link == "heartbeat")
        property("LAST_TIME")->setValue(QDateTime::currentDateTime().addSecs(-60));
    else
        startJob();
}

void DeleteScene::startJob()
{
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
        device->setNimbraCloud(cloud.get(), DeviceCode);
}

// What sets the watched signal off.
void DeleteScene::fire()
{
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
        device->setNimbraCloud(cloud.get(), DeviceCode);
    }
}

} // namespace

void tst_FaultMatrix::deleteFromSignal()
{
    QFETCH(QString, link);
    QFETCH(QString, watch);
    QFETCH(QString, text);
    QFETCH(QString, trigger);
    DeleteScene scene;
    scene.link = link;
    scene.trigger = trigger;
    scene.connectMidJob();
    if (QTest::currentTestFailed())
        return;
    QPointer<KTCommonInterface>& device = scene.device;

    // A stamp equal to the current or the previous value is no change, and the replies before
    // may have been stamped within this millisecond: two older stamps make the next a change.
    if (watch == "LAST_TIME" && trigger != "connect") {
        scene.property("LAST_TIME")->setValue(QDateTime::currentDateTime().addSecs(-120));
        scene.property("LAST_TIME")->setValue(QDateTime::currentDateTime().addSecs(-60));
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
        auto* editor = scene.panel.findChild<QDoubleSpinBox*>(watch.mid(7));
        QVERIFY(editor);
        QObject::connect(editor, QOverload<double>::of(&QDoubleSpinBox::valueChanged), hostDeletes);
    } else {
        QObject::connect(scene.property(watch.toLatin1().constData()), &KTDeviceProperty::valueChanged, hostDeletes);
    }

    scene.fire();
    QTRY_VERIFY_WITH_TIMEOUT(deleted, 10000);
    QVERIFY(device.isNull());
    QTRY_VERIFY(!scene.cutter.isConnected());
    if (trigger == "register") {
        QSignalSpy requested(&scene.service, &LocalCloudService::requestReceived);
        requested.wait(100); // a request would be under way by now
        QVERIFY(scene.service.requests(QStringLiteral("device")).isEmpty());
        QVERIFY(scene.service.requests(QStringLiteral("device_model")).isEmpty());
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
    QSignalSpy late(rig.device.data(), &K::message);
    late.wait(100); // any late reports of the abandoned attempts
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
