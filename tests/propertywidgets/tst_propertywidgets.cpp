#include "ktdeviceproperty.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

namespace {

using Prop = std::unique_ptr<KTDeviceProperty>;

Prop makeProperty(const QVariant& value, const QJsonObject& widget, const QString& label = "Caption",
                  const QString& unit = "unit")
{
    Prop p(new KTDeviceProperty(nullptr));
    p->init(value, label, unit, 0, 0, 0, KTDeviceInterface::UnCMD, {});
    if (!widget.isEmpty())
        p->setProperty("WIDGET", widget);
    return p;
}

void attach(KTDeviceProperty* group, const char* key, KTDeviceProperty* child)
{
    group->setProperty(key, QVariant::fromValue(static_cast<void*>(child)));
}

QWidget* uiCtrl(const KTDeviceProperty* p)
{
    const QVariant v = p->property("UI_CTRL");
    return v.userType() == QMetaType::VoidStar ? static_cast<QWidget*>(v.value<void*>()) : nullptr;
}

// A host panel: a widget with a vertical layout, as the host passes it.
struct Host
{
    QWidget widget;
    QVBoxLayout* layout = new QVBoxLayout(&widget);
};

QWidget* rowAt(QLayout* layout, int i)
{
    return layout->itemAt(i)->widget();
}

} // namespace

class tst_PropertyWidgets : public QObject
{
    Q_OBJECT

private slots:
    void rowStructure_data();
    void rowStructure();
    void noDescriptorBuildsNothing();
    void groupRowHoldsChildRowsWithoutUnits();
    void tabPagesShareOneTabWidget();
    void existingTabWidgetInDescendantsIsReused();
    void factorRoundTrip_data();
    void factorRoundTrip();
    void clampedToRange_data();
    void clampedToRange();
    void comboItems_data();
    void comboItems();
    void lineEditText_data();
    void lineEditText();
    void labelShowsTextAndStoresString();
    void copiesBeforeCreateDoNothing();
    void fromUiEmitsValueChangedOnRealChange();
    void groupCopiesReachEveryChild();
    void destroyedEditorsAreForgotten();
    void zeroFactorCountsAsAbsent();
};

void tst_PropertyWidgets::rowStructure_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("withUnit");
    QTest::addColumn<bool>("hasEditor");
    for (const char* kind : {"QSpinBox", "QDoubleSpinBox", "QComboBox", "QLineEdit", "QLabel"}) {
        QTest::addRow("%s with unit", kind) << kind << true << true;
        QTest::addRow("%s without unit", kind) << kind << false << true;
    }
    QTest::newRow("unknown kind") << "QSlider" << true << false;
    QTest::newRow("empty kind") << "" << false << false;
}

void tst_PropertyWidgets::rowStructure()
{
    QFETCH(QString, kind);
    QFETCH(bool, withUnit);
    QFETCH(bool, hasEditor);
    Prop p = makeProperty(0, {{"widget", kind}}, "Speed", "(mm/s)");
    Host host;
    p->create_ui_ctrl(&host.widget, "SPEED", withUnit);

    QCOMPARE(host.layout->count(), 1);
    QWidget* row = rowAt(host.layout, 0);
    auto* rowLayout = qobject_cast<QHBoxLayout*>(row->layout());
    QVERIFY(rowLayout);
    QCOMPARE(rowLayout->spacing(), 5);
    QCOMPARE(rowLayout->count(), 1 + int(hasEditor) + int(withUnit));

    auto* caption = qobject_cast<QLabel*>(rowAt(rowLayout, 0));
    QVERIFY(caption);
    QCOMPARE(caption->text(), QString("Speed"));
    QCOMPARE(caption->alignment(), Qt::AlignCenter);
    QCOMPARE(caption->minimumHeight(), 28);
    QCOMPARE(rowLayout->stretch(0), 1);

    QWidget* editor = uiCtrl(p.get());
    QCOMPARE(editor != nullptr, hasEditor);
    if (hasEditor) {
        QCOMPARE(rowAt(rowLayout, 1), editor);
        QCOMPARE(QString(editor->metaObject()->className()), kind);
        QCOMPARE(editor->objectName(), QString("SPEED"));
        QCOMPARE(editor->minimumHeight(), 28);
        QCOMPARE(rowLayout->stretch(1), 3);
        if (auto* spin = qobject_cast<QAbstractSpinBox*>(editor)) {
            QCOMPARE(spin->buttonSymbols(), QAbstractSpinBox::NoButtons);
            QCOMPARE(spin->alignment(), Qt::AlignCenter);
        }
        if (auto* label = qobject_cast<QLabel*>(editor)) {
            QCOMPARE(label->text(), QString());
            QCOMPARE(label->textInteractionFlags(), Qt::TextSelectableByMouse);
            QCOMPARE(label->alignment(), Qt::AlignCenter);
        }
        if (auto* edit = qobject_cast<QLineEdit*>(editor))
            QCOMPARE(edit->alignment(), Qt::AlignCenter);
    }
    if (withUnit) {
        const int last = rowLayout->count() - 1;
        auto* unit = qobject_cast<QLabel*>(rowAt(rowLayout, last));
        QVERIFY(unit);
        QCOMPARE(unit->text(), QString("(mm/s)"));
        QCOMPARE(rowLayout->stretch(last), 1);
    }
}

void tst_PropertyWidgets::noDescriptorBuildsNothing()
{
    Prop p = makeProperty(5, {});
    Host host;
    p->create_ui_ctrl(&host.widget, "X", true);
    QCOMPARE(host.layout->count(), 0);
    QVERIFY(!p->property("UI_CTRL").isValid());
}

void tst_PropertyWidgets::groupRowHoldsChildRowsWithoutUnits()
{
    Prop x = makeProperty(1.0, {{"widget", "QDoubleSpinBox"}, {"max", 200}}, "x", "mmX");
    Prop y = makeProperty(2.0, {{"widget", "QDoubleSpinBox"}, {"max", 200}}, "y", "mmY");
    Prop group = makeProperty(QVariant(), {{"widget", "QGroupBox"}}, "Scale", "(mm x mm)");
    attach(group.get(), "SCALE_X", x.get());
    attach(group.get(), "SCALE_Y", y.get());
    Host host;
    group->create_ui_ctrl(&host.widget, "SCALE", true);

    QCOMPARE(host.layout->count(), 1);
    QLayout* rowLayout = rowAt(host.layout, 0)->layout();
    QCOMPARE(rowLayout->count(), 3);
    QWidget* container = rowAt(rowLayout, 1);
    QCOMPARE(uiCtrl(group.get()), container);
    QCOMPARE(container->objectName(), QString("SCALE"));
    QVERIFY(qobject_cast<QHBoxLayout*>(container->layout()));
    QCOMPARE(qobject_cast<QLabel*>(rowAt(rowLayout, 2))->text(), QString("(mm x mm)"));

    QLayout* inner = container->layout();
    QCOMPARE(inner->count(), 2);
    const QList<QPair<KTDeviceProperty*, QString>> expected{{x.get(), "x"}, {y.get(), "y"}};
    for (int i = 0; i < 2; ++i) {
        QLayout* childRow = rowAt(inner, i)->layout();
        QCOMPARE(childRow->count(), 2); // caption and editor, no unit
        QCOMPARE(qobject_cast<QLabel*>(rowAt(childRow, 0))->text(), expected[i].second);
        QCOMPARE(rowAt(childRow, 1), uiCtrl(expected[i].first));
    }
    QCOMPARE(uiCtrl(x.get())->objectName(), QString("SCALE_X"));
}

void tst_PropertyWidgets::tabPagesShareOneTabWidget()
{
    Prop a = makeProperty(0u, {{"widget", "QSpinBox"}}, "Speed", "(mm/s)");
    Prop sp1 = makeProperty(QVariant(), {{"widget", "QTabWidget"}}, "SP1");
    Prop sp2 = makeProperty(QVariant(), {{"widget", "QTabWidget"}}, "SP2");
    attach(sp1.get(), "SP1_SPEED", a.get());
    Host host;
    sp1->create_ui_ctrl(&host.widget, "SP1", false);
    sp2->create_ui_ctrl(&host.widget, "SP2", false);

    QCOMPARE(host.widget.findChildren<QTabWidget*>().size(), 1);
    QCOMPARE(host.layout->count(), 1);
    auto* tabs = qobject_cast<QTabWidget*>(rowAt(host.layout, 0));
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(0), QString("SP1"));
    QCOMPARE(tabs->tabText(1), QString("SP2"));
    QCOMPARE(tabs->widget(0), uiCtrl(sp1.get()));
    QCOMPARE(tabs->widget(1), uiCtrl(sp2.get()));

    auto* page = qobject_cast<QVBoxLayout*>(tabs->widget(0)->layout());
    QVERIFY(page);
    QCOMPARE(page->contentsMargins(), QMargins(30, 10, 10, 30));
    QCOMPARE(page->spacing(), 12);
    QCOMPARE(page->count(), 1);
    QLayout* childRow = rowAt(page, 0)->layout();
    QCOMPARE(childRow->count(), 3); // units shown on tab pages
    QCOMPARE(qobject_cast<QLabel*>(rowAt(childRow, 2))->text(), QString("(mm/s)"));
    QCOMPARE(uiCtrl(a.get())->objectName(), QString("SP1_SPEED"));
}

void tst_PropertyWidgets::existingTabWidgetInDescendantsIsReused()
{
    Host host;
    auto* nested = new QWidget;
    auto* nestedLayout = new QVBoxLayout(nested);
    auto* existing = new QTabWidget;
    nestedLayout->addWidget(existing);
    host.layout->addWidget(nested);
    Prop page = makeProperty(QVariant(), {{"widget", "QTabWidget"}}, "Feed");
    page->create_ui_ctrl(&host.widget, "FEED", true);
    QCOMPARE(host.layout->count(), 1);
    QCOMPARE(existing->count(), 1);
    QCOMPARE(existing->tabText(0), QString("Feed"));
}

void tst_PropertyWidgets::factorRoundTrip_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<double>("factor");
    QTest::addColumn<QVariant>("held");
    QTest::addColumn<double>("shown");
    QTest::addColumn<double>("entered");
    QTest::addColumn<QVariant>("stored");
    const double pressure = 19.0 / 6.0;
    QTest::newRow("offset 0.005") << "QDoubleSpinBox" << 0.005 << QVariant(200u) << 1.0 << 2.5 << QVariant(500.0);
    QTest::newRow("offset 2000") << "QDoubleSpinBox" << 0.005 << QVariant(2000u) << 10.0 << -3.0 << QVariant(-600.0);
    QTest::newRow("pressure 100") << "QSpinBox" << pressure << QVariant(100u) << 316.0 << 316.0 << QVariant(99);
    QTest::newRow("pressure 300") << "QSpinBox" << pressure << QVariant(300u) << 950.0 << 1900.0 << QVariant(600);
}

void tst_PropertyWidgets::factorRoundTrip()
{
    QFETCH(QString, kind);
    QFETCH(double, factor);
    QFETCH(QVariant, held);
    QFETCH(double, shown);
    QFETCH(double, entered);
    QFETCH(QVariant, stored);
    Prop p = makeProperty(held, {{"widget", kind}, {"factor", factor}, {"min", -1000.0}, {"max", 1900}});
    Host host;
    p->create_ui_ctrl(&host.widget, "K", false);
    p->to_ui_ctrl();
    QWidget* editor = uiCtrl(p.get());
    if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
        QCOMPARE(spin->value(), int(shown));
        spin->setValue(int(entered));
    } else if (auto* dspin = qobject_cast<QDoubleSpinBox*>(editor)) {
        QCOMPARE(dspin->value(), shown);
        dspin->setValue(entered);
    } else {
        QFAIL("no editor");
    }
    p->from_ui_ctrl();
    QCOMPARE(p->value().userType(), stored.userType());
    QCOMPARE(p->value(), stored);
}

void tst_PropertyWidgets::clampedToRange_data()
{
    QTest::addColumn<QJsonObject>("widget");
    QTest::addColumn<QVariant>("held");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("shown");
    QTest::addColumn<QVariant>("stored");
    QTest::newRow("below speed range") << QJsonObject{{"widget", "QSpinBox"}, {"min", 10}, {"max", 700}} << QVariant(5u)
                                       << 10.0 << 700.0 << 10.0 << QVariant(10);
    QTest::newRow("above scaled pressure range")
        << QJsonObject{{"widget", "QSpinBox"}, {"min", 0}, {"max", 1900}, {"factor", 19.0 / 6.0}} << QVariant(1000u)
        << 0.0 << 1900.0 << 1900.0 << QVariant(600);
    QTest::newRow("spin defaults 0..1000")
        << QJsonObject{{"widget", "QSpinBox"}} << QVariant(5000) << 0.0 << 1000.0 << 1000.0 << QVariant(1000);
    QTest::newRow("fractional spin min counts as absent")
        << QJsonObject{{"widget", "QSpinBox"}, {"min", 2.5}, {"max", 10000.0}} << QVariant(-4) << 0.0 << 10000.0 << 0.0
        << QVariant(0);
    QTest::newRow("double max absent: 0..0")
        << QJsonObject{{"widget", "QDoubleSpinBox"}} << QVariant(5.0) << 0.0 << 0.0 << 0.0 << QVariant(0.0);
    QTest::newRow("double negative min, max absent") << QJsonObject{{"widget", "QDoubleSpinBox"}, {"min", -5}}
                                                     << QVariant(-7.25) << -5.0 << 0.0 << -5.0 << QVariant(-5.0);
    QTest::newRow("work area below 10") << QJsonObject{{"widget", "QDoubleSpinBox"}, {"min", 10}, {"max", 10000}}
                                        << QVariant(0.0) << 10.0 << 10000.0 << 10.0 << QVariant(10.0);
    QTest::newRow("three decimals") << QJsonObject{{"widget", "QDoubleSpinBox"}, {"min", 0}, {"max", 200}}
                                    << QVariant(1.23456) << 0.0 << 200.0 << 1.235 << QVariant(1.235);
}

void tst_PropertyWidgets::clampedToRange()
{
    QFETCH(QJsonObject, widget);
    QFETCH(QVariant, held);
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(double, shown);
    QFETCH(QVariant, stored);
    Prop p = makeProperty(held, widget);
    Host host;
    p->create_ui_ctrl(&host.widget, "K", false);
    p->to_ui_ctrl();
    if (auto* spin = qobject_cast<QSpinBox*>(uiCtrl(p.get()))) {
        QCOMPARE(spin->minimum(), int(min));
        QCOMPARE(spin->maximum(), int(max));
        QCOMPARE(spin->value(), int(shown));
    } else if (auto* dspin = qobject_cast<QDoubleSpinBox*>(uiCtrl(p.get()))) {
        QCOMPARE(dspin->decimals(), 3);
        QCOMPARE(dspin->minimum(), min);
        QCOMPARE(dspin->maximum(), max);
        QCOMPARE(dspin->value(), shown);
    } else {
        QFAIL("no spin box");
    }
    p->from_ui_ctrl();
    QCOMPARE(p->value().userType(), stored.userType());
    QCOMPARE(p->value(), stored);
}

void tst_PropertyWidgets::comboItems_data()
{
    QTest::addColumn<QJsonObject>("widget");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("three items") << QJsonObject{{"widget", "QComboBox"}, {"option", "a;b;c"}}
                                 << QStringList{"a", "b", "c"};
    QTest::newRow("empty item kept") << QJsonObject{{"widget", "QComboBox"}, {"option", "a;;c"}}
                                     << QStringList{"a", "", "c"};
    QTest::newRow("trailing empty item") << QJsonObject{{"widget", "QComboBox"}, {"option", "a;"}}
                                         << QStringList{"a", ""};
    QTest::newRow("leading blanks kept") << QJsonObject{{"widget", "QComboBox"},
                                                        {"option", "   速度优先;   平衡;   精度优先"}}
                                         << QStringList{"   速度优先", "   平衡", "   精度优先"};
    QTest::newRow("no option") << QJsonObject{{"widget", "QComboBox"}} << QStringList{};
}

void tst_PropertyWidgets::comboItems()
{
    QFETCH(QJsonObject, widget);
    QFETCH(QStringList, items);
    Prop p = makeProperty(0u, widget);
    Host host;
    p->create_ui_ctrl(&host.widget, "WORK_MODE", true);
    auto* combo = qobject_cast<QComboBox*>(uiCtrl(p.get()));
    QVERIFY(combo);
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i)
        shown << combo->itemText(i);
    QCOMPARE(shown, items);
    QVERIFY(qobject_cast<QListView*>(combo->view()));
}

// clang-format off
void tst_PropertyWidgets::lineEditText_data()
{
    QTest::addColumn<double>("factor");
    QTest::addColumn<QVariant>("held");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("entered");
    QTest::addColumn<QString>("stored");
    QTest::newRow("factor 1 keeps text") << 1.0 << QVariant(42u) << "42" << "abc" << "abc";
    QTest::newRow("scale 1.0") << 0.0001 << QVariant(10000u) << "1" << "1.5" << "15000";
    QTest::newRow("six digits, exponent") << 0.5 << QVariant(3u) << "1.5" << "617284" << "1.23457e+06";
    QTest::newRow("not a number is 0") << 0.5 << QVariant(0u) << "0" << "x12" << "0";
    QTest::newRow("long fraction rounded") << 0.0001 << QVariant(12345u) << "1.2345" << "0.333333333"
                                           << "3333.33";
}
// clang-format on

void tst_PropertyWidgets::lineEditText()
{
    QFETCH(double, factor);
    QFETCH(QVariant, held);
    QFETCH(QString, shown);
    QFETCH(QString, entered);
    QFETCH(QString, stored);
    Prop p = makeProperty(held, {{"widget", "QLineEdit"}, {"factor", factor}});
    Host host;
    p->create_ui_ctrl(&host.widget, "SCALE_X", false);
    p->to_ui_ctrl();
    auto* edit = qobject_cast<QLineEdit*>(uiCtrl(p.get()));
    QVERIFY(edit);
    QCOMPARE(edit->text(), shown);
    edit->setText(entered);
    p->from_ui_ctrl();
    QCOMPARE(p->value().userType(), int(QMetaType::QString));
    QCOMPARE(p->value().toString(), stored);
}

void tst_PropertyWidgets::labelShowsTextAndStoresString()
{
    Prop p = makeProperty(7, {{"widget", "QLabel"}, {"factor", 2.0}});
    Host host;
    p->create_ui_ctrl(&host.widget, "DEVICE_MODEL", false);
    p->to_ui_ctrl();
    auto* label = qobject_cast<QLabel*>(uiCtrl(p.get()));
    QCOMPARE(label->text(), QString("7")); // no factor on labels
    label->setText("KT-VT4410");
    p->from_ui_ctrl();
    QCOMPARE(p->value(), QVariant(QString("KT-VT4410")));
}

void tst_PropertyWidgets::copiesBeforeCreateDoNothing()
{
    Prop p = makeProperty(200u, {{"widget", "QSpinBox"}});
    QSignalSpy changed(p.get(), &KTDeviceProperty::valueChanged);
    p->to_ui_ctrl();
    p->from_ui_ctrl();
    QCOMPARE(p->value(), QVariant(200u));
    QCOMPARE(p->value().userType(), int(QMetaType::UInt));
    QCOMPARE(changed.count(), 0);
    QVERIFY(!p->property("UI_CTRL").isValid());
}

void tst_PropertyWidgets::fromUiEmitsValueChangedOnRealChange()
{
    Prop p = makeProperty(5, {{"widget", "QSpinBox"}});
    Host host;
    p->create_ui_ctrl(&host.widget, "K", false);
    p->to_ui_ctrl();
    QSignalSpy changed(p.get(), &KTDeviceProperty::valueChanged);
    p->from_ui_ctrl(); // same value: silent
    QCOMPARE(changed.count(), 0);
    qobject_cast<QSpinBox*>(uiCtrl(p.get()))->setValue(9);
    QCOMPARE(changed.count(), 0); // nothing wired to the editor
    p->from_ui_ctrl();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(p->value(), QVariant(9));
}

void tst_PropertyWidgets::groupCopiesReachEveryChild()
{
    Prop x = makeProperty(2000u, {{"widget", "QDoubleSpinBox"}, {"factor", 0.005}, {"min", -1000.0}, {"max", 1000.0}});
    Prop y = makeProperty(400u, {{"widget", "QDoubleSpinBox"}, {"factor", 0.005}, {"min", -1000.0}, {"max", 1000.0}});
    Prop tool = makeProperty(1u, {{"widget", "QComboBox"}, {"option", "drag;rotary"}});
    Prop group = makeProperty(QVariant(), {{"widget", "QGroupBox"}});
    Prop page = makeProperty(QVariant(), {{"widget", "QTabWidget"}}, "SP1");
    attach(group.get(), "X", x.get());
    attach(group.get(), "Y", y.get());
    attach(page.get(), "TOOL", tool.get());
    attach(page.get(), "OFFSET", group.get());
    Host host;
    page->create_ui_ctrl(&host.widget, "SP1", true);
    page->to_ui_ctrl();
    QCOMPARE(qobject_cast<QDoubleSpinBox*>(uiCtrl(x.get()))->value(), 10.0);
    QCOMPARE(qobject_cast<QDoubleSpinBox*>(uiCtrl(y.get()))->value(), 2.0);
    QCOMPARE(qobject_cast<QComboBox*>(uiCtrl(tool.get()))->currentIndex(), 1);

    qobject_cast<QDoubleSpinBox*>(uiCtrl(y.get()))->setValue(-1.0);
    qobject_cast<QComboBox*>(uiCtrl(tool.get()))->setCurrentIndex(0);
    page->from_ui_ctrl();
    QCOMPARE(x->value(), QVariant(2000.0));
    QCOMPARE(y->value(), QVariant(-200.0));
    QCOMPARE(tool->value(), QVariant(0));
    QVERIFY(!page->value().isValid());
    QVERIFY(!group->value().isValid());
}

// The host owns the widgets; copying after it deleted them must not touch freed memory.
void tst_PropertyWidgets::destroyedEditorsAreForgotten()
{
    Prop x = makeProperty(3, {{"widget", "QSpinBox"}});
    Prop group = makeProperty(QVariant(), {{"widget", "QGroupBox"}});
    attach(group.get(), "X", x.get());
    {
        Host host;
        group->create_ui_ctrl(&host.widget, "G", true);
        QVERIFY(uiCtrl(x.get()));
        QVERIFY(uiCtrl(group.get()));
    }
    QVERIFY(!x->property("UI_CTRL").isValid());
    QVERIFY(!group->property("UI_CTRL").isValid());
    group->to_ui_ctrl();
    group->from_ui_ctrl();
    QCOMPARE(x->value(), QVariant(3));
}

void tst_PropertyWidgets::zeroFactorCountsAsAbsent()
{
    Prop p = makeProperty(12, {{"widget", "QSpinBox"}, {"factor", 0}});
    Host host;
    p->create_ui_ctrl(&host.widget, "K", false);
    p->to_ui_ctrl();
    auto* spin = qobject_cast<QSpinBox*>(uiCtrl(p.get()));
    QCOMPARE(spin->value(), 12);
    spin->setValue(30);
    p->from_ui_ctrl();
    QCOMPARE(p->value(), QVariant(30));
}

QTEST_MAIN(tst_PropertyWidgets)
#include "tst_propertywidgets.moc"
