#include "ktdeviceinterface.h"
#include "ktdeviceinterface_p.h"
#include "ktdeviceproperty.h"
#include "ktdeviceproperty_p.h"

#include <QMetaEnum>
#include <QMetaMethod>
#include <QPointer>
#include <QtTest>

#include <cstring>

using T = KTDeviceInterface;

// A device that only holds properties: the interface's own defaults, with lookup enabled.
class HoldingDevice : public KTDeviceInterface
{
public:
    KTDeviceProperty* property_ptr(const char* key) override { return kt_property_of(this, key); }
};

static KTDeviceProperty* newProperty(const QVariant& value, T::KTDeviceCMDType kind = T::UnCMD)
{
    auto* p = new KTDeviceProperty(nullptr);
    p->init(value, QString(), QString(), 0, 1, 1, kind, {});
    return p;
}

class tst_DeviceInterface : public QObject
{
    Q_OBJECT
private slots:
    void enumValues();
    void onlyMetaMethodIsMessage();
    void virtualSlotOrder();
    void defaults();
    void buildDate_data();
    void buildDate();
    void addressDefaults();
    void replacedAddressSurvivesUntilDeviceDies();
    void setPltPrefersPagedJob_data();
    void setPltPrefersPagedJob();
    void destructionDeletesEachRecordOnce();
};

void tst_DeviceInterface::enumValues()
{
    const QMetaObject& mo = KTDeviceInterface::staticMetaObject;
    const auto keysOf = [&](const char* name) {
        const QMetaEnum e = mo.enumerator(mo.indexOfEnumerator(name));
        QStringList out;
        for (int i = 0; i < e.keyCount(); ++i)
            out << QString("%1=%2").arg(e.key(i)).arg(e.value(i));
        return out;
    };
    QCOMPARE(keysOf("KTDeviceStatus"),
             (QStringList{"DisConnected=0", "Idle=1", "Working=2", "Pause=3", "Warning=4", "Error=5"}));
    QCOMPARE(keysOf("KTDeviceMessage"), (QStringList{"DevStatus=0", "DevTasK=1", "Qrcode=2"}));
    QCOMPARE(keysOf("KTDeviceCMDType"),
             (QStringList{"UnCMD=0", "CCMD=1", "CMD=2", "NUM=3", "PLT=4", "PPLT=5", "QRPLT=6"}));
    QVERIFY(!mo.enumerator(mo.indexOfEnumerator("KTDeviceStatus")).isFlag());
    // STATUS holds an int that the link reads back as a status through QVariant.
    QCOMPARE(QVariant(4).value<T::KTDeviceStatus>(), T::Warning);
}

void tst_DeviceInterface::onlyMetaMethodIsMessage()
{
    const QMetaObject& mo = KTDeviceInterface::staticMetaObject;
    QCOMPARE(mo.methodCount() - mo.methodOffset(), 1);
    const QMetaMethod m = mo.method(mo.methodOffset());
    QCOMPARE(m.methodType(), QMetaMethod::Signal);
    QCOMPARE(m.methodSignature(), QByteArray("message(KTDeviceMessage,QString)"));
}

// The host calls the operations through the vtable: their slots must follow QObject's own
// in this exact order.
void tst_DeviceInterface::virtualSlotOrder()
{
#if defined(__GNUC__) && !defined(_WIN32)
    // Itanium C++ ABI: a pointer to a virtual member holds 1 + its byte offset in the vtable.
    const auto slot = [](auto member) {
        std::ptrdiff_t raw[2];
        static_assert(sizeof(member) == sizeof(raw), "Itanium member pointer");
        std::memcpy(raw, &member, sizeof(raw));
        return (raw[0] - 1) / std::ptrdiff_t(sizeof(void*));
    };
    const QList<std::ptrdiff_t> slots_ = {slot(&T::initInstance),  slot(&T::setUSBPath),   slot(&T::setIPAddress),
                                          slot(&T::connectDevice), slot(&T::property_ptr), slot(&T::userProperty),
                                          slot(&T::sysProperty),   slot(&T::sendCMD),      slot(&T::setNimbraCloud),
                                          slot(&T::startTask),     slot(&T::stopTask),     slot(&T::move),
                                          slot(&T::icon),          slot(&T::setPlt)};
    // QObject has 12 vtable slots (metaObject .. disconnectNotify, two destructors).
    for (int i = 0; i < slots_.size(); ++i)
        QCOMPARE(slots_.at(i), std::ptrdiff_t(12 + i));
#else
    QSKIP("vtable layout check needs the Itanium ABI");
#endif
}

void tst_DeviceInterface::defaults()
{
    KTDeviceInterface device;
    QVERIFY(!device.initInstance());
    QVERIFY(!device.connectDevice());
    QVERIFY(!device.property_ptr("STATUS"));
    QVERIFY(device.userProperty().isEmpty());
    QVERIFY(device.sysProperty().isEmpty());
    QCOMPARE(device.icon(), 0);
    QSignalSpy messages(&device, &KTDeviceInterface::message);
    device.sendCMD("\x02"
                   "14;CMD;GET1;\x03");
    device.setNimbraCloud(nullptr, "code");
    device.startTask();
    device.stopTask();
    device.move(1, 2);
    QCOMPARE(messages.count(), 0);
    QVERIFY(device.dynamicPropertyNames().isEmpty());
}

// clang-format off
void tst_DeviceInterface::buildDate_data()
{
    QTest::addColumn<QString>("compilerDate");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Jun 27 2025") << "Jun 27 2025" << "2025 - 06 - 27";
    QTest::newRow("Jun  7 2025 (space-padded day)") << "Jun  7 2025" << "2025 - 06 - 07";
    QTest::newRow("Dec 31 1999") << "Dec 31 1999" << "1999 - 12 - 31";
    QTest::newRow("garbage") << "Smarch 99 20x5" << "";
    QTest::newRow("empty") << "" << "";
}
// clang-format on

void tst_DeviceInterface::buildDate()
{
    QFETCH(QString, compilerDate);
    QFETCH(QString, expected);
    QCOMPARE(kt_format_build_date(compilerDate), expected);
    QVERIFY(QRegularExpression("^\\d{4} - \\d{2} - \\d{2}$").match(KTDeviceInterface::buildDate()).hasMatch());
}

void tst_DeviceInterface::addressDefaults()
{
    HoldingDevice device;
    device.setUSBPath("/dev/ttyACM0");
    device.setIPAddress("192.0.2.7");
    KTDeviceProperty* usb = device.property_ptr("USB");
    KTDeviceProperty* tcp = device.property_ptr("TCP");
    QVERIFY(usb && tcp);
    QCOMPARE(usb->value(), QVariant(QString("USB")));
    QCOMPARE(usb->label(), QString("/dev/ttyACM0"));
    QVERIFY(usb->uint().isNull());
    QCOMPARE(usb->cmd_type(), T::UnCMD);
    QCOMPARE(usb->get_cmd_int() + usb->set_cmd_int() + usb->cmd_len(), 0);
    QVERIFY(usb->param().isEmpty());
    QCOMPARE(tcp->value(), QVariant(QString("TCP")));
    QCOMPARE(tcp->label(), QString("192.0.2.7"));
}

void tst_DeviceInterface::replacedAddressSurvivesUntilDeviceDies()
{
    auto* device = new HoldingDevice;
    device->setIPAddress("192.0.2.1");
    QPointer<KTDeviceProperty> first = device->property_ptr("TCP");
    device->setIPAddress("192.0.2.2");
    QPointer<KTDeviceProperty> second = device->property_ptr("TCP");
    QVERIFY(first && second && first != second);
    QCOMPARE(first->label(), QString("192.0.2.1")); // still usable by a host holding it
    QCOMPARE(second->label(), QString("192.0.2.2"));
    delete device;
    QVERIFY(first.isNull());
    QVERIFY(second.isNull());
}

void tst_DeviceInterface::setPltPrefersPagedJob_data()
{
    QTest::addColumn<bool>("hasPaged");
    QTest::addColumn<bool>("hasPlain");
    QTest::newRow("both") << true << true;
    QTest::newRow("paged only") << true << false;
    QTest::newRow("plain only") << false << true;
    QTest::newRow("neither") << false << false;
}

void tst_DeviceInterface::setPltPrefersPagedJob()
{
    QFETCH(bool, hasPaged);
    QFETCH(bool, hasPlain);
    HoldingDevice device;
    if (hasPaged)
        device.storeProperty("TASK_PPLT", newProperty(QString(), T::PPLT));
    if (hasPlain)
        device.storeProperty("TASK_PLT", newProperty(QString(), T::PLT));
    const int before = device.dynamicPropertyNames().size();
    device.setPlt("IN;PD0,0;PG;");
    QCOMPARE(device.dynamicPropertyNames().size(), before);
    if (hasPaged)
        QCOMPARE(device.property_ptr("TASK_PPLT")->value(), QVariant(QString("IN;PD0,0;PG;")));
    if (hasPlain)
        QCOMPARE(device.property_ptr("TASK_PLT")->value(), QVariant(hasPaged ? QString() : QString("IN;PD0,0;PG;")));
}

// A child stored on the device and on its group is deleted once, through the device.
void tst_DeviceInterface::destructionDeletesEachRecordOnce()
{
    auto* device = new HoldingDevice;
    KTDeviceProperty* x = newProperty(1.0);
    KTDeviceProperty* y = newProperty(2.0);
    KTDeviceProperty* group = newProperty(QStringList{"X", "Y"}, T::CCMD);
    group->setProperty("X", QVariant::fromValue(static_cast<void*>(x)));
    group->setProperty("Y", QVariant::fromValue(static_cast<void*>(y)));
    device->storeProperty("X", x);
    device->storeProperty("Y", y);
    device->storeProperty("GROUP", group);
    device->setProperty("NOT_A_RECORD", 42);
    QMap<QObject*, int> deaths;
    for (QObject* o : {static_cast<QObject*>(x), static_cast<QObject*>(y), static_cast<QObject*>(group)})
        connect(o, &QObject::destroyed, this, [&deaths, o] { ++deaths[o]; });
    delete device;
    QCOMPARE(deaths.size(), 3);
    for (int count : deaths)
        QCOMPARE(count, 1);
}

QTEST_GUILESS_MAIN(tst_DeviceInterface)
#include "tst_deviceinterface.moc"
