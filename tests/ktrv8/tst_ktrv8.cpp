// The RV8 device as the host receives it from initInstance: every parameter, its commands,
// the group links and the lists the host shows. Runs in a simplified-Chinese locale, where
// no translation is loaded, so captions are the source texts.
#include "familyexpect.h"
#include "ktdeviceproperty.h"
#include "ktrv8.h"
#include "ktrv8_p.h"
#include "loopbackcutter.h"

#include <QApplication>
#include <QDateTime>
#include <QJsonObject>
#include <QtTest>

#include <memory>

using K = KTDeviceInterface;

namespace {

// Every key of an RV8 device in creation order: the RV8's own rows around the family-437
// base and information sets it builds on.
QVector<Expected> expectedTable()
{
    const QJsonObject task{{"Finished", 0}, {"Status", 0}, {"TaskCopies", 0}, {"Percent", 100}};
    const QStringList zero{"0"};
    // clang-format off
    const QVector<Expected> scale{
        // key, value, get, set, length, kind, range, children, param
        {"SCALE_X", 1.0, 61, 20, 1, K::CCMD, range(99.0, 100.99)},
        {"SCALE_Y", 1.0, 62, 21, 1, K::CCMD, range(99.0, 100.99)},
        {"SCALE", QVariant(), 0, 0, 0, K::UnCMD, {}, {"SCALE_X", "SCALE_Y"}},
    };
    const QVector<Expected> taskCameraAndMotion{
        {"TASK", task, 0, 0, 0, K::UnCMD, {}},
        {"CAMERA_OFFSET_X", 0.0, 0, 0, 0, K::UnCMD, range(-2.0, 2.0)},
        {"CAMERA_OFFSET_Y", 0.0, 0, 0, 0, K::UnCMD, range(-22.0, -18.0)},
        {"CAMERA_OFFSET", QStringList{"CAMERA_OFFSET_X", "CAMERA_OFFSET_Y"}, 18, 17, 1, K::CCMD, {},
         {"CAMERA_OFFSET_X", "CAMERA_OFFSET_Y"}},
        {"SPEED", 0u, 7, 6, 1, K::CCMD, range(10, 300), {}, zero},
        {"MARGIN", 0u, 1002, 1003, 1, K::CCMD, range(20, 200)},
        {"PRESSURE", 0u, 9, 8, 1, K::CCMD, range(0, 900), {}, zero},
    };
    const QVector<Expected> modelAndCommands{
        {"DEVICE_MODEL", QString("KT-RV8"), 0, 0, 0, K::UnCMD, {}},
        {"DEVICE_MODEL_NAME", QString::fromUtf8("迷你刻字机"), 0, 0, 0, K::UnCMD, {}},
        {"MOVE", QString(""), 0, 65, 1, K::CCMD, {}},
        {"TASK_REPEAT", 1, 0, 30, 1, K::CCMD, {}},
        {"SET_WIFI", 1, 0, 0, 1, K::CCMD, {}},
        {"SET_MARK", 1, 0, 1000, 1, K::CCMD, {}},
    };
    // clang-format on
    return scale + Family437::base() + taskCameraAndMotion + Family437::info() + modelAndCommands;
}

QString payload(const QByteArray& frame)
{
    return QString::fromLocal8Bit(LoopbackCutter::payloadOf(frame));
}

std::unique_ptr<KTDeviceInterface> newDevice()
{
    KTRV8 factory;
    return std::unique_ptr<KTDeviceInterface>(factory.initInstance());
}

} // namespace

class tst_KTRV8 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void keysInCreationOrder();
    void eachProperty_data();
    void eachProperty();
    void lastTimeIsBuildTime();
    void groupLinks();
    void commandPayloads_data();
    void commandPayloads();
    void compoundOffsetCarriesBothAxes();
    void devicesAreIndependent();
    void listsAndIcon();
    void deviceIsAPlainRV8();

private:
    std::unique_ptr<KTDeviceInterface> device;
    QDateTime builtAfter;
    QDateTime builtBefore;
};

void tst_KTRV8::initTestCase()
{
    builtAfter = QDateTime::currentDateTime();
    device = newDevice();
    builtBefore = QDateTime::currentDateTime();
    QVERIFY(device);
}

void tst_KTRV8::keysInCreationOrder()
{
    QStringList expected;
    for (const Expected& row : expectedTable())
        expected << QString::fromLatin1(row.key);
    QCOMPARE(expected.size(), 37);
    QStringList actual;
    for (const QByteArray& name : device->dynamicPropertyNames())
        actual << QString::fromLatin1(name);
    QCOMPARE(actual, expected);
    QVERIFY(!device->property_ptr("TASK_START_TIME"));
    QVERIFY(!device->property_ptr("TASK_PLT"));
    QVERIFY(!device->property_ptr("HEARTBEAT"));
}

void tst_KTRV8::eachProperty_data()
{
    QTest::addColumn<int>("index");
    const QVector<Expected> table = expectedTable();
    for (int i = 0; i < table.size(); ++i)
        QTest::newRow(table[i].key) << i;
}

void tst_KTRV8::eachProperty()
{
    QFETCH(int, index);
    compareProperty(device.get(), expectedTable().at(index), builtAfter.addMSecs(-1), builtBefore.addMSecs(1));
}

void tst_KTRV8::lastTimeIsBuildTime()
{
    const QDateTime stamp = device->property_ptr("LAST_TIME")->value().toDateTime();
    QVERIFY(stamp.isValid());
    QVERIFY(stamp >= builtAfter.addMSecs(-1) && stamp <= builtBefore.addMSecs(1));
}

void tst_KTRV8::groupLinks()
{
    KTDeviceProperty* scale = device->property_ptr("SCALE");
    QCOMPARE(scale->dynamicPropertyNames(), (QList<QByteArray>{"WIDGET", "SCALE_X", "SCALE_Y"}));
    QCOMPARE(scale->property_ptr("SCALE_X"), device->property_ptr("SCALE_X"));
    QCOMPARE(scale->property_ptr("SCALE_Y"), device->property_ptr("SCALE_Y"));

    KTDeviceProperty* offset = device->property_ptr("CAMERA_OFFSET");
    QCOMPARE(offset->dynamicPropertyNames(), (QList<QByteArray>{"CAMERA_OFFSET_X", "CAMERA_OFFSET_Y", "WIDGET"}));
    QCOMPARE(offset->property_ptr("CAMERA_OFFSET_X"), device->property_ptr("CAMERA_OFFSET_X"));
    QCOMPARE(offset->property_ptr("CAMERA_OFFSET_Y"), device->property_ptr("CAMERA_OFFSET_Y"));

    // No other property carries children.
    for (const QByteArray& name : device->dynamicPropertyNames()) {
        if (name == "SCALE" || name == "CAMERA_OFFSET")
            continue;
        for (const QByteArray& inner : device->property_ptr(name.constData())->dynamicPropertyNames())
            QCOMPARE(inner, QByteArray("WIDGET"));
    }
}

// clang-format off
void tst_KTRV8::commandPayloads_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value"); // invalid: keep the initial value
    QTest::addColumn<QString>("read");
    QTest::addColumn<QString>("write");

    QTest::newRow("SCALE_X") << "SCALE_X" << QVariant(100.5) << "CCMD;61;" << "CCMD;20,100.5;";
    QTest::newRow("SCALE_Y initial") << "SCALE_Y" << QVariant() << "CCMD;62;" << "CCMD;21,1;";
    QTest::newRow("SPEED") << "SPEED" << QVariant(250u) << "CCMD;7,0;" << "CCMD;6,0,250;";
    QTest::newRow("MARGIN") << "MARGIN" << QVariant(35u) << "CCMD;1002;" << "CCMD;1003,35;";
    QTest::newRow("PRESSURE") << "PRESSURE" << QVariant(420u) << "CCMD;9,0;" << "CCMD;8,0,420;";
    QTest::newRow("MOVE") << "MOVE" << QVariant("0,0,80,-80") << "" << "CCMD;65,0,0,80,-80;";
    QTest::newRow("TASK_REPEAT") << "TASK_REPEAT" << QVariant() << "" << "CCMD;30,1;";
    QTest::newRow("SET_MARK") << "SET_MARK" << QVariant() << "" << "CCMD;1000,1;";
    QTest::newRow("SET_WIFI") << "SET_WIFI" << QVariant() << "" << "";
    QTest::newRow("SCALE") << "SCALE" << QVariant() << "" << "";
    QTest::newRow("TASK") << "TASK" << QVariant() << "" << "";
    QTest::newRow("CAMERA_OFFSET_X") << "CAMERA_OFFSET_X" << QVariant(1.0) << "" << "";
    QTest::newRow("DEVICE_MODEL") << "DEVICE_MODEL" << QVariant() << "" << "";
    QTest::newRow("DEVICE_MODEL_NAME") << "DEVICE_MODEL_NAME" << QVariant() << "" << "";
}
// clang-format on

void tst_KTRV8::commandPayloads()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    QFETCH(QString, read);
    QFETCH(QString, write);
    auto fresh = newDevice();
    KTDeviceProperty* p = fresh->property_ptr(key.toLatin1().constData());
    QVERIFY(p);
    if (value.isValid())
        p->setValue(value);
    const QByteArray readFrame = p->get_cmd_bytes();
    const QByteArray writeFrame = p->set_cmd_bytes();
    QCOMPARE(readFrame.isEmpty(), read.isEmpty());
    QCOMPARE(writeFrame.isEmpty(), write.isEmpty());
    QCOMPARE(payload(readFrame), read);
    QCOMPARE(payload(writeFrame), write);
}

void tst_KTRV8::compoundOffsetCarriesBothAxes()
{
    auto fresh = newDevice();
    KTDeviceProperty* offset = fresh->property_ptr("CAMERA_OFFSET");
    QCOMPARE(payload(offset->get_cmd_bytes()), QString("CCMD;18;"));
    QCOMPARE(payload(offset->set_cmd_bytes()), QString("CCMD;17,0,0;"));
    fresh->property_ptr("CAMERA_OFFSET_X")->setValue(1.5);
    fresh->property_ptr("CAMERA_OFFSET_Y")->setValue(-20.25);
    QCOMPARE(payload(offset->set_cmd_bytes()), QString("CCMD;17,1.5,-20.25;"));

    // A reply to the offset read updates both axes through the group.
    offset->set_decode(QStringList{"0.5", "-19"});
    QCOMPARE(fresh->property_ptr("CAMERA_OFFSET_X")->value(), QVariant(0.5));
    QCOMPARE(fresh->property_ptr("CAMERA_OFFSET_Y")->value(), QVariant(-19.0));
}

void tst_KTRV8::devicesAreIndependent()
{
    auto first = newDevice();
    auto second = newDevice();
    QVERIFY(first.get() != second.get());
    for (const Expected& row : expectedTable())
        QVERIFY2(first->property_ptr(row.key) != second->property_ptr(row.key), row.key);
    first->property_ptr("SPEED")->setValue(120u);
    QCOMPARE(first->property_ptr("SPEED")->value(), QVariant(120u));
    QCOMPARE(second->property_ptr("SPEED")->value(), QVariant(0u));
    // A device built by a device is as complete as one built by the plug-in object.
    std::unique_ptr<KTDeviceInterface> third(first->initInstance());
    QCOMPARE(third->dynamicPropertyNames().size(), 37);
    QCOMPARE(third->property_ptr("SPEED")->value(), QVariant(0u));
}

void tst_KTRV8::listsAndIcon()
{
    QCOMPARE(device->userProperty(),
             (QStringList{"WORK_MODE", "PRESSURE", "SPEED", "SCALE", "CAMERA_OFFSET", "MARGIN"}));
    QCOMPARE(device->sysProperty(),
             (QStringList{"DEVICE_MODEL_NAME", "DEVICE_INFO", "FIRMWARE", "DEVICE_ID", "PCB_ID", "PCB_VERSION"}));
    QVERIFY(!device->property_ptr("DEVICE_INFO"));
    for (const QString& key : device->userProperty())
        QVERIFY2(device->property_ptr(key.toLatin1().constData()), qPrintable(key));
    QCOMPARE(device->icon(), 58918);
    KTRV8 factory;
    QCOMPARE(factory.icon(), 0xE626);
    QCOMPARE(factory.dynamicPropertyNames().size(), 0); // the factory holds no parameters
}

void tst_KTRV8::deviceIsAPlainRV8()
{
    QVERIFY(qobject_cast<KTRV8*>(device.get()));
    QVERIFY(!device->parent());
    auto* rv8 = static_cast<KTRV8*>(device.get());
    QVERIFY(KTRV8Private::pages(*rv8).isEmpty());
    QCOMPARE(KTRV8Private::pageIndex(*rv8), 0);
}

int main(int argc, char** argv)
{
    // Simplified Chinese: no translation file applies, captions stay the source texts.
    qputenv("LC_ALL", "zh_CN.UTF-8");
    qputenv("LANG", "zh_CN.UTF-8");
    QApplication app(argc, argv);
    tst_KTRV8 test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ktrv8.moc"
