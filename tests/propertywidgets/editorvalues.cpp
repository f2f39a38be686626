#include "tst_propertywidgets.h"

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
