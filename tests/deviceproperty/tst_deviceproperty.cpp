#include "ktdeviceproperty.h"

#include <QJsonObject>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QtTest>

using T = KTDeviceInterface;

class tst_DeviceProperty : public QObject
{
    Q_OBJECT
private slots:
    void freshPropertyHasNoCommand();
    void initSetsEverything();
    void setValueSequence_data();
    void setValueSequence();
    void qtPropertyValue();
    void signalsInOrder();
    void copyDropsParametersAndDynamicProperties();
    void childLookup();
    void retStatus();
};

void tst_DeviceProperty::freshPropertyHasNoCommand()
{
    KTDeviceProperty p;
    QCOMPARE(p.cmd_type(), T::UnCMD);
    QCOMPARE(p.get_cmd_int(), 0);
    QCOMPARE(p.set_cmd_int(), 0);
    QCOMPARE(p.cmd_len(), 0);
    QVERIFY(!p.value().isValid());
    QVERIFY(p.label().isEmpty());
    QVERIFY(p.uint().isEmpty());
    QVERIFY(p.get_cmd_bytes().isEmpty());
    QVERIFY(p.set_cmd_bytes().isEmpty());
}

void tst_DeviceProperty::initSetsEverything()
{
    KTDeviceProperty p;
    QVERIFY(p.init(5u, "速度", "(mm/s)", 7, 6, 1, T::CCMD, {"0"}));
    QCOMPARE(p.value(), QVariant(5u));
    QCOMPARE(p.label(), QString("速度"));
    QCOMPARE(p.uint(), QString("(mm/s)"));
    QCOMPARE(p.get_cmd_int(), 7);
    QCOMPARE(p.set_cmd_int(), 6);
    QCOMPARE(p.cmd_len(), 1);
    QCOMPARE(p.cmd_type(), T::CCMD);
    QCOMPARE(p.param(), QStringList{"0"});
    QVERIFY(!p.parent());
}

// Each row: values set in turn after init(5); the expected value afterwards and how many
// valueChanged signals were emitted in all.
void tst_DeviceProperty::setValueSequence_data()
{
    QTest::addColumn<QVariantList>("sets");
    QTest::addColumn<QVariant>("finalValue");
    QTest::addColumn<int>("notified");
    QTest::newRow("7") << QVariantList{7} << QVariant(7) << 1;
    QTest::newRow("7,5 back to previous is silent") << QVariantList{7, 5} << QVariant(5) << 1;
    QTest::newRow("7,5,7 notifies again") << QVariantList{7, 5, 7} << QVariant(7) << 2;
    QTest::newRow("7,9,7 silent") << QVariantList{7, 9, 7} << QVariant(7) << 2;
    QTest::newRow("7,7 current value silent") << QVariantList{7, 7} << QVariant(7) << 1;
    QTest::newRow("5 initial value silent") << QVariantList{5} << QVariant(5) << 0;
    QTest::newRow("5.0 equals 5") << QVariantList{5.0} << QVariant(5.0) << 0;
    QTest::newRow("text") << QVariantList{QString("a"), QString("b")} << QVariant(QString("b")) << 2;
}

void tst_DeviceProperty::setValueSequence()
{
    QFETCH(QVariantList, sets);
    QFETCH(QVariant, finalValue);
    QFETCH(int, notified);
    KTDeviceProperty p;
    p.init(5, "l", {}, 0, 0, 0, T::UnCMD, {});
    QSignalSpy changed(&p, &KTDeviceProperty::valueChanged);
    for (const QVariant& v : sets)
        p.setValue(v);
    QCOMPARE(p.value(), finalValue);
    QCOMPARE(changed.count(), notified);
}

void tst_DeviceProperty::qtPropertyValue()
{
    KTDeviceProperty p;
    p.init(1, "l", {}, 0, 0, 0, T::UnCMD, {});
    const QMetaObject* mo = p.metaObject();
    QCOMPARE(mo->propertyCount() - mo->propertyOffset(), 1);
    const QMetaProperty value = mo->property(mo->propertyOffset());
    QCOMPARE(value.name(), "value");
    QVERIFY(value.isReadable() && value.isWritable() && value.hasNotifySignal());
    QVERIFY(!value.isConstant() && !value.isFinal());
    QSignalSpy changed(&p, &KTDeviceProperty::valueChanged);
    QVERIFY(p.setProperty("value", 2));
    QCOMPARE(p.property("value"), QVariant(2));
    QCOMPARE(changed.count(), 1);
}

void tst_DeviceProperty::signalsInOrder()
{
    const QMetaObject* mo = &KTDeviceProperty::staticMetaObject;
    QStringList signalNames;
    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i) {
        if (mo->method(i).methodType() == QMetaMethod::Signal)
            signalNames << QString::fromLatin1(mo->method(i).methodSignature());
    }
    QCOMPARE(signalNames, (QStringList{"valueChanged()", "retStatus(int)"}));
}

void tst_DeviceProperty::copyDropsParametersAndDynamicProperties()
{
    KTDeviceProperty source;
    source.init(3, "压力", "(gf)", 9, 8, 1, T::CCMD, {"0"});
    source.setValue(4);
    source.setProperty("WIDGET", QJsonObject{{"widget", "QSpinBox"}});
    KTDeviceProperty copy(source);
    QCOMPARE(copy.value(), QVariant(4));
    QCOMPARE(copy.label(), source.label());
    QCOMPARE(copy.uint(), source.uint());
    QCOMPARE(copy.get_cmd_int(), 9);
    QCOMPARE(copy.set_cmd_int(), 8);
    QCOMPARE(copy.cmd_type(), T::CCMD);
    QVERIFY(copy.param().isEmpty());
    QVERIFY(copy.dynamicPropertyNames().isEmpty());
    QVERIFY(!copy.parent());
    // The previous value came along: setting it back is silent.
    QSignalSpy changed(&copy, &KTDeviceProperty::valueChanged);
    copy.setValue(3);
    QCOMPARE(changed.count(), 0);
    // Without its parameter the copy writes a plain CCMD.
    QCOMPARE(copy.set_cmd_bytes(), QByteArray("\x02"
                                              "14;CCMD;8,3;\x03"));
}

void tst_DeviceProperty::childLookup()
{
    KTDeviceProperty group, child;
    group.setProperty("WIDGET", QJsonObject{{"widget", "QGroupBox"}});
    group.setProperty("CHILD", QVariant::fromValue(static_cast<void*>(&child)));
    group.setProperty("NUMBER", 42);
    QCOMPARE(group.property_ptr("CHILD"), &child);
    QVERIFY(!group.property_ptr("WIDGET"));
    QVERIFY(!group.property_ptr("MISSING"));
    QVERIFY(!group.property_ptr("NUMBER"));
    QVERIFY(!group.property_ptr(nullptr));
}

void tst_DeviceProperty::retStatus()
{
    KTDeviceProperty p;
    QSignalSpy spy(&p, &KTDeviceProperty::retStatus);
    p.ret_Status(3);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 3);
}

QTEST_GUILESS_MAIN(tst_DeviceProperty)
#include "tst_deviceproperty.moc"
