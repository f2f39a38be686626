#include "familyexpect.h"
#include "ktcommoninterface.h"
#include "ktdeviceproperty_p.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QTest>
#include <QTranslator>
#include <QVBoxLayout>
#include <QWidget>

#include <memory>

namespace {

using Builder = void (KTCommonInterface::*)(KTDeviceInterface*);

struct Case
{
    const char* name;
    Builder builder;
    QVector<Expected> expected;
};

const QVector<Case>& cases()
{
    static const QVector<Case> all{
        {"init437", &KTCommonInterface::init437, Family437::base()},
        {"info_437", &KTCommonInterface::info_437, Family437::info()},
        {"camera_offset_437", &KTCommonInterface::camera_offset_437, Family437::cameraOffset()},
        {"scale_437", &KTCommonInterface::scale_437, Family437::scale()},
        {"work_area_437", &KTCommonInterface::work_area_437, Family437::workArea()},
    };
    return all;
}

// Marks every text it is asked for with its context, so the tests see which texts pass
// through translation and in which context.
class MarkingTranslator : public QTranslator
{
public:
    QString translate(const char* context, const char* source, const char* = nullptr, int = -1) const override
    {
        return QStringLiteral("[%1]%2").arg(QString::fromLatin1(context), QString::fromUtf8(source));
    }
    bool isEmpty() const override { return false; }
};

} // namespace

class tst_Family437 : public QObject
{
    Q_OBJECT

private slots:
    void builderMatchesTable_data();
    void builderMatchesTable();
    void textsTranslatedInDriverContext();
    void workModeComboShowsThreeItems();
    void workAreaAndScaleRanges();
    void compoundGroupsWriteAndReadThroughAttachedChildren();
    void buildersFillTheGivenDeviceOnly();

private:
    KTCommonInterface factory;
};

void tst_Family437::builderMatchesTable_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < cases().size(); ++i)
        QTest::newRow(cases()[i].name) << i;
}

void tst_Family437::builderMatchesTable()
{
    QFETCH(int, index);
    const Case& c = cases()[index];
    KTDeviceInterface device;
    const QDateTime before = QDateTime::currentDateTime();
    (factory.*c.builder)(&device);
    const QDateTime after = QDateTime::currentDateTime();
    compareDevice(&device, c.expected, before, after);
}

void tst_Family437::textsTranslatedInDriverContext()
{
    MarkingTranslator marker;
    QCoreApplication::installTranslator(&marker);
    KTDeviceInterface device;
    factory.init437(&device);
    factory.camera_offset_437(&device);
    QCoreApplication::removeTranslator(&marker);

    const QString tag = "[KTCommonInterface]";
    QCOMPARE(kt_property_of(&device, "STATUS")->label(), tag + "状态");
    QCOMPARE(kt_property_of(&device, "TASK_COPIES")->uint(), tag + "份");
    QCOMPARE(kt_property_of(&device, "LAST_TIME")->label(), QString());
    QCOMPARE(kt_property_of(&device, "CAMERA_OFFSET")->uint(), QString("(mm x mm)"));
    QCOMPARE(kt_property_of(&device, "WORK_MODE")->property("WIDGET").toJsonObject().value("option").toString(),
             tag + "   速度优先;" + tag + "   平衡;" + tag + "   精度优先");
}

void tst_Family437::workModeComboShowsThreeItems()
{
    KTDeviceInterface device;
    factory.init437(&device);
    QWidget host;
    new QVBoxLayout(&host);
    KTDeviceProperty* mode = kt_property_of(&device, "WORK_MODE");
    mode->create_ui_ctrl(&host, "WORK_MODE", true);
    auto* combo = host.findChild<QComboBox*>("WORK_MODE");
    QVERIFY(combo);
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(0), QString("   速度优先"));
    QCOMPARE(combo->itemText(1), QString("   平衡"));
    QCOMPARE(combo->itemText(2), QString("   精度优先"));
    mode->to_ui_ctrl();
    QCOMPARE(combo->currentIndex(), 0);
}

void tst_Family437::workAreaAndScaleRanges()
{
    KTDeviceInterface device;
    factory.work_area_437(&device);
    factory.scale_437(&device);
    QWidget host;
    new QVBoxLayout(&host);
    for (const char* group : {"WORKAREA", "SCALE"}) {
        kt_property_of(&device, group)->create_ui_ctrl(&host, group, true);
        kt_property_of(&device, group)->to_ui_ctrl();
    }
    auto* width = host.findChild<QDoubleSpinBox*>("WORKAREA_X");
    auto* scale = host.findChild<QDoubleSpinBox*>("SCALE_X");
    QVERIFY(width && scale);
    QCOMPARE(width->minimum(), 10.0);
    QCOMPARE(width->maximum(), 10000.0);
    QCOMPARE(width->value(), 10.0); // held 0.0, shown clamped
    QCOMPARE(scale->minimum(), 0.0);
    QCOMPARE(scale->maximum(), 200.0);
    QCOMPARE(scale->value(), 1.0);
}

// The combined command finds the axes on the group itself.
void tst_Family437::compoundGroupsWriteAndReadThroughAttachedChildren()
{
    KTDeviceInterface device;
    factory.camera_offset_437(&device);
    kt_property_of(&device, "CAMERA_OFFSET_X")->setValue(1.5);
    kt_property_of(&device, "CAMERA_OFFSET_Y")->setValue(-2.0);
    KTDeviceProperty* group = kt_property_of(&device, "CAMERA_OFFSET");
    QVERIFY(group->set_cmd_bytes().contains("CCMD;15,1.5,-2;"));

    group->set_decode(QStringList{"0.25", "-3.5"});
    QCOMPARE(kt_property_of(&device, "CAMERA_OFFSET_X")->value(), QVariant(0.25));
    QCOMPARE(kt_property_of(&device, "CAMERA_OFFSET_Y")->value(), QVariant(-3.5));
}

void tst_Family437::buildersFillTheGivenDeviceOnly()
{
    const QList<QByteArray> before = factory.dynamicPropertyNames();
    KTDeviceInterface first;
    KTDeviceInterface second;
    factory.init437(&first);
    factory.init437(&second);
    QCOMPARE(factory.dynamicPropertyNames(), before);
    QVERIFY(kt_property_of(&first, "TASK_COPIES") != kt_property_of(&second, "TASK_COPIES"));
    kt_property_of(&first, "TASK_COPIES")->setValue(4);
    QCOMPARE(kt_property_of(&second, "TASK_COPIES")->value(), QVariant(1));
}

QTEST_MAIN(tst_Family437)
#include "tst_family437.moc"
