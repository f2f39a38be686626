#include "familyexpect.h"
#include "ktcommoninterface.h"
#include "ktdeviceproperty_p.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <memory>

namespace {

using K = KTDeviceInterface;
using Builder = void (KTCommonInterface::*)(KTDeviceInterface*);

// An offset unit is 0.005 mm, a pressure unit 19/6 gf.
const QJsonObject Offset = range(-1000, 1000, 0.005);
const QJsonObject Pressure = range(0, 1900, 3.1666666666666665);

struct Case
{
    const char* name;
    Builder builder;
    QVector<Expected> expected;
};

const QVector<Case>& cases()
{
    // clang-format off
    static const QVector<Case> all{
        {"init157", &KTCommonInterface::init157,
         {
             // key, value, get, set, length, kind, range, children
             {"STATUS", int(0), 0, 0, 0, K::UnCMD, {}},
             {"TCP_PORT", int(9100), 0, 0, 0, K::UnCMD, {}},
             {"CONNECT_MODE", QString(), 0, 0, 0, K::UnCMD, {}},
             {"QRCODE_COPIES", int(1), 54, 54, 1, K::CCMD, {}},
             {"QRCODE_FILE", QString(), 55, 55, 1, K::CCMD, {}},
             {"TASK_COPIES", int(1), 1, 1, 1, K::NUM, {}},
             {"TASK_PLT", QString(), 1, 1, 1, K::PLT, {}},
             {"TASK_STOP", int(2), 125, 125, 1, K::CMD, {}},
             {"TASK_PAUSE", int(0), 125, 125, 1, K::CMD, {}},
             {"TASK_RESUME", int(1), 125, 125, 1, K::CMD, {}},
             {"QR_PLT", QString(), 1, 1, 1, K::QRPLT, {}},
             {"FLAG_POINT", int(1), 87, 87, 1, K::CMD, {}},
             {"BACK_FLAG_POINT", int(1), 93, 93, 1, K::CMD, {}},
             {"TASK_MODE", int(0), 0, 0, 0, K::UnCMD, {}},
             {"LAST_TIME", QDateTime(), 0, 0, 0, K::UnCMD, {}},
             {"HEARTBEAT", int(2), 1010, 1010, 1, K::CCMD, {}},
             {"FILE_PREVIEW", QByteArray(), 0, 0, 0, K::UnCMD, {}},
             {"TASK_FILE_INFO", QJsonObject(), 0, 0, 0, K::UnCMD, {}},
             {"WORK_MODE", 0u, 27, 27, 1, K::CMD, items(3)},
             {"PU_SPEED", 0u, 26, 26, 1, K::CMD, range(10, 700)},
             {"DEVICE_CLOUD", QJsonObject(), 0, 0, 0, K::UnCMD, {}},
         }},
        {"info_157", &KTCommonInterface::info_157,
         {
             {"FIRMWARE", QString(), 0, 0, 1, K::CCMD, {}},
             {"DEVICE_ID", QString(), 0, 44, 1, K::CCMD, {}},
             {"PCB_ID", QString(), 0, 46, 1, K::CCMD, {}},
             {"PCB_VERSION", QString(), 0, 48, 1, K::CCMD, {}},
             {"DEVICE_CONFIG_NO", QString(), 0, 0, 0, K::UnCMD, {}},
             {"DEVICE_UNIQUE_ID", QString(), 57, 0, 1, K::CCMD, {}},
             {"DEVICE_MODEL", QString("KT-VT4410"), 0, 0, 0, K::UnCMD, {}},
             {"DEVICE_INFO", QStringList{"DEVICE_MODEL", "DEVICE_ID", "PCB_ID", "PCB_VERSION", "FIRMWARE", "DEVICE_CONFIG_NO"},
              2, 0, 1, K::CCMD, {}, {"DEVICE_MODEL", "DEVICE_ID", "PCB_ID", "PCB_VERSION", "FIRMWARE", "DEVICE_CONFIG_NO"}},
         }},
        {"feed_157", &KTCommonInterface::feed_157,
         {
             {"AUTO_FEED", 0u, 134, 134, 1, K::CMD, items(2)},
             {"FEED_MODEL", 0u, 133, 133, 1, K::CMD, items(2)},
             {"FEED_LENGTH", 0u, 135, 135, 1, K::CMD, {}},
             {"FEED_CENTER", 0u, 136, 136, 1, K::CMD, {}},
             {"FAN_DELAY", 0u, 137, 137, 1, K::CMD, range(0, 10000)},
             {"FEED_SPEED", 0u, 138, 138, 1, K::CMD, {}},
             {"FEED", QVariant(), 0, 0, 0, K::UnCMD, {},
              {"AUTO_FEED", "FEED_MODEL", "FEED_LENGTH", "FEED_CENTER", "FEED_SPEED", "FAN_DELAY"}},
         }},
        {"sp1_157", &KTCommonInterface::sp1_157,
         {
             {"SP1_TOOL", 0u, 128, 128, 1, K::CMD, items(2)},
             {"SP1_SPEED", 0u, 1, 1, 1, K::CMD, range(10, 700)},
             {"SP1_PRESSURE", 0u, 2, 2, 1, K::CMD, Pressure},
             {"SP1_ANGLE", 0u, 131, 131, 1, K::CMD, range(-360, 360)},
             {"SP1", QVariant(), 0, 0, 0, K::UnCMD, {}, {"SP1_TOOL", "SP1_SPEED", "SP1_PRESSURE", "SP1_ANGLE"}},
         }},
        {"sp2_157", &KTCommonInterface::sp2_157,
         {
             {"SP2_SPEED", 0u, 3, 3, 1, K::CMD, range(10, 700)},
             {"SP2_PRESSURE", 0u, 4, 4, 1, K::CMD, Pressure},
             {"SP2_TOOL", 0u, 129, 129, 1, K::CMD, items(2)},
             {"SP2_ANGLE", 0u, 132, 132, 1, K::CMD, range(-360, 360)},
             {"SP2", QVariant(), 0, 0, 0, K::UnCMD, {}, {"SP2_TOOL", "SP2_SPEED", "SP2_PRESSURE", "SP2_ANGLE"}},
         }},
        {"tool_space_157", &KTCommonInterface::tool_space_157,
         {
             {"TOOL_SPACE_X", 0u, 5, 5, 3, K::CMD, Offset},
             {"TOOL_SPACE_Y", 0u, 8, 8, 3, K::CMD, Offset},
             {"TOOL_SPACE", QVariant(), 0, 0, 0, K::UnCMD, {}, {"TOOL_SPACE_X", "TOOL_SPACE_Y"}},
         }},
        {"camera_offset_157", &KTCommonInterface::camera_offset_157,
         {
             {"CAMERA_OFFSET_X", 0u, 11, 11, 3, K::CMD, Offset},
             {"CAMERA_OFFSET_Y", 0u, 14, 14, 3, K::CMD, Offset},
             {"CAMERA_OFFSET", QVariant(), 0, 0, 0, K::UnCMD, {}, {"CAMERA_OFFSET_X", "CAMERA_OFFSET_Y"}},
             {"FACTORY_SET", int(0), 0, 67, 1, K::CCMD, {}},
         }},
        {"scale_157", &KTCommonInterface::scale_157,
         {
             {"SCALE_X", 0u, 24, 24, 1, K::CMD, scaled(0.0001)},
             {"SCALE_Y", 0u, 25, 25, 1, K::CMD, scaled(0.0001)},
             {"SCALE", QVariant(), 0, 0, 0, K::UnCMD, {}, {"SCALE_X", "SCALE_Y"}},
         }},
        {"work_area_157", &KTCommonInterface::work_area_157,
         {
             {"WORKAREA_X", 0u, 28, 28, 1, K::CMD, scaled(0.5)},
             {"WORKAREA_Y", 0u, 29, 29, 1, K::CMD, scaled(0.5)},
             {"WORKAREA", QVariant(), 0, 0, 0, K::UnCMD, {}, {"WORKAREA_X", "WORKAREA_Y"}},
         }},
        {"move_157", &KTCommonInterface::move_157,
         {
             {"MOVE_X", int(0), 82, 82, 1, K::CMD, {}},
             {"MOVE_Y", int(0), 83, 83, 1, K::CMD, {}},
         }},
    };
    // clang-format on
    return all;
}

// A device carrying every family-157 builder, for the tests that need several groups.
std::unique_ptr<KTDeviceInterface> fullDevice(KTCommonInterface& factory)
{
    std::unique_ptr<KTDeviceInterface> device(new KTDeviceInterface);
    for (const Case& c : cases())
        (factory.*c.builder)(device.get());
    return device;
}

// Editor object names in the order their rows are laid out inside a group or tab page.
QStringList laidOutKeys(QWidget* container)
{
    QStringList keys;
    QLayout* layout = container->layout();
    for (int i = 0; i < layout->count(); ++i) {
        QLayout* row = layout->itemAt(i)->widget()->layout();
        keys << row->itemAt(1)->widget()->objectName();
    }
    return keys;
}

QWidget* uiCtrl(const KTDeviceProperty* p)
{
    return static_cast<QWidget*>(p->property("UI_CTRL").value<void*>());
}

} // namespace

class tst_Family157 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); } // editor texts use '.'
    void builderMatchesTable_data();
    void builderMatchesTable();
    void groupsLayOutChildrenInAttachmentOrder_data();
    void groupsLayOutChildrenInAttachmentOrder();
    void builtEditorsShowDeviceUnitsScaled_data();
    void builtEditorsShowDeviceUnitsScaled();
    void deviceInfoReadsIntoAttachedChildren();
    void factorySetIsWriteOnly();
    void userPropertyNamesToolSpaceBesideCameraOffset();
    void initInstanceBuildsIndependentFamily157Devices();

private:
    KTCommonInterface factory;
};

void tst_Family157::builderMatchesTable_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < cases().size(); ++i)
        QTest::newRow(cases()[i].name) << i;
}

void tst_Family157::builderMatchesTable()
{
    QFETCH(int, index);
    const Case& c = cases()[index];
    KTDeviceInterface device;
    const QDateTime before = QDateTime::currentDateTime();
    (factory.*c.builder)(&device);
    const QDateTime after = QDateTime::currentDateTime();
    compareDevice(&device, c.expected, before, after);
}

void tst_Family157::groupsLayOutChildrenInAttachmentOrder_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("feed speed before air-pump delay")
        << "FEED" << QStringList{"AUTO_FEED", "FEED_MODEL", "FEED_LENGTH", "FEED_CENTER", "FEED_SPEED", "FAN_DELAY"};
    QTest::newRow("head 2 tool type first")
        << "SP2" << QStringList{"SP2_TOOL", "SP2_SPEED", "SP2_PRESSURE", "SP2_ANGLE"};
    QTest::newRow("head 1") << "SP1" << QStringList{"SP1_TOOL", "SP1_SPEED", "SP1_PRESSURE", "SP1_ANGLE"};
    QTest::newRow("tool offset") << "TOOL_SPACE" << QStringList{"TOOL_SPACE_X", "TOOL_SPACE_Y"};
    QTest::newRow("working area") << "WORKAREA" << QStringList{"WORKAREA_X", "WORKAREA_Y"};
}

void tst_Family157::groupsLayOutChildrenInAttachmentOrder()
{
    QFETCH(QString, group);
    QFETCH(QStringList, rows);
    auto device = fullDevice(factory);
    QWidget host;
    new QVBoxLayout(&host);
    KTDeviceProperty* p = kt_property_of(device.get(), group.toLatin1().constData());
    p->create_ui_ctrl(&host, group, true);
    QCOMPARE(laidOutKeys(uiCtrl(p)), rows);
}

// clang-format off
void tst_Family157::builtEditorsShowDeviceUnitsScaled_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("held");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("entered");
    QTest::addColumn<QVariant>("stored");
    QTest::newRow("pressure 300") << "SP1_PRESSURE" << QVariant(300u) << "950" << "1900" << QVariant(600);
    QTest::newRow("pressure 600 is top") << "SP2_PRESSURE" << QVariant(600u) << "1900" << "316" << QVariant(99);
    QTest::newRow("tool offset 2000") << "TOOL_SPACE_X" << QVariant(2000u) << "10.000" << "-2.5" << QVariant(-500.0);
    QTest::newRow("scale 1.0") << "SCALE_X" << QVariant(10000u) << "1" << "1.25" << QVariant(QString("12500"));
    QTest::newRow("width 1 mm") << "WORKAREA_Y" << QVariant(2u) << "1" << "617284" << QVariant(QString("1.23457e+06"));
}
// clang-format on

void tst_Family157::builtEditorsShowDeviceUnitsScaled()
{
    QFETCH(QString, key);
    QFETCH(QVariant, held);
    QFETCH(QString, shown);
    QFETCH(QString, entered);
    QFETCH(QVariant, stored);
    auto device = fullDevice(factory);
    KTDeviceProperty* p = kt_property_of(device.get(), key.toLatin1().constData());
    p->setValue(held);
    QWidget host;
    new QVBoxLayout(&host);
    p->create_ui_ctrl(&host, key, true);
    p->to_ui_ctrl();
    QWidget* editor = uiCtrl(p);
    if (auto* spinBox = qobject_cast<QAbstractSpinBox*>(editor)) {
        QCOMPARE(spinBox->text(), shown);
        spinBox->findChild<QLineEdit*>()->setText(entered);
        spinBox->interpretText();
    } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        QCOMPARE(edit->text(), shown);
        edit->setText(entered);
    } else {
        QFAIL("unexpected editor");
    }
    p->from_ui_ctrl();
    QCOMPARE(p->value().userType(), stored.userType());
    QCOMPARE(p->value(), stored);
}

// One reply carries six fields; the record hands them out in its list order, finding the
// children on itself.
void tst_Family157::deviceInfoReadsIntoAttachedChildren()
{
    KTDeviceInterface device;
    factory.info_157(&device);
    KTDeviceProperty* info = kt_property_of(&device, "DEVICE_INFO");
    QVERIFY(info->get_cmd_bytes().contains("CCMD;2;"));
    info->set_decode(QStringList{"KT-X", "M-77", "PCB-1", "V2", "FW 1.0.3", "CFG9"});
    const QStringList keys{"DEVICE_MODEL", "DEVICE_ID", "PCB_ID", "PCB_VERSION", "FIRMWARE", "DEVICE_CONFIG_NO"};
    const QStringList values{"KT-X", "M-77", "PCB-1", "V2", "FW 1.0.3", "CFG9"};
    for (int i = 0; i < keys.size(); ++i)
        QCOMPARE(kt_property_of(&device, keys[i].toLatin1().constData())->value().toString(), values[i]);
    QCOMPARE(kt_property_of(&device, "DEVICE_UNIQUE_ID")->value(), QVariant(QString()));
    QVERIFY(!info->property_ptr("DEVICE_UNIQUE_ID"));
}

void tst_Family157::factorySetIsWriteOnly()
{
    KTDeviceInterface device;
    factory.camera_offset_157(&device);
    KTDeviceProperty* reset = kt_property_of(&device, "FACTORY_SET");
    QVERIFY(reset->get_cmd_bytes().isEmpty());
    QVERIFY(reset->set_cmd_bytes().contains("CCMD;67,0;"));
    QVERIFY(!kt_property_of(&device, "CAMERA_OFFSET")->property_ptr("FACTORY_SET"));
}

void tst_Family157::userPropertyNamesToolSpaceBesideCameraOffset()
{
    const QStringList keys = factory.userProperty();
    QCOMPARE(keys, (QStringList{"WORK_MODE", "SPEED", "PRESSURE", "CAMERA_OFFSET", "TOOL_SPACE", "SP1", "SP2"}));
    auto device = fullDevice(factory);
    QVERIFY(kt_property_of(device.get(), "TOOL_SPACE"));
}

void tst_Family157::initInstanceBuildsIndependentFamily157Devices()
{
    const QList<QByteArray> factoryKeys = factory.dynamicPropertyNames();
    std::unique_ptr<KTDeviceInterface> first(factory.initInstance());
    std::unique_ptr<KTDeviceInterface> second(factory.initInstance());
    QVERIFY(first && second && first != second);
    QVERIFY(qobject_cast<KTCommonInterface*>(first.get()));
    QVERIFY(!first->parent());
    QCOMPARE(factory.dynamicPropertyNames(), factoryKeys);

    QStringList expectedKeys;
    for (const Expected& e : cases().first().expected)
        expectedKeys << QString::fromLatin1(e.key);
    QCOMPARE(keysOf(first.get()), expectedKeys);
    QCOMPARE(keysOf(second.get()), expectedKeys);
    KTDeviceProperty* copies = first->property_ptr("TASK_COPIES");
    QVERIFY(copies && copies != second->property_ptr("TASK_COPIES"));
    copies->setValue(3);
    QCOMPARE(second->property_ptr("TASK_COPIES")->value(), QVariant(1));
}

QTEST_MAIN(tst_Family157)
#include "tst_family157.moc"
