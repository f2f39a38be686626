#include "tst_propertywidgets.h"

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

void tst_PropertyWidgets::typedOutOfRangeIsRefused_data()
{
    QTest::addColumn<QJsonObject>("widget");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("range"); // empty: taken
    QTest::addColumn<QVariant>("stored");
    const QJsonObject speed{{"widget", "QSpinBox"}, {"min", 10}, {"max", 300}};
    QTest::newRow("350 into 10 to 300") << speed << "350"
                                        << "10 – 300" << QVariant(100);
    QTest::newRow("5 into 10 to 300") << speed << "5"
                                      << "10 – 300" << QVariant(100);
    QTest::newRow("250 into 10 to 300") << speed << "250"
                                        << "" << QVariant(250);
    QTest::newRow("negative into 0 to 900") << QJsonObject{{"widget", "QSpinBox"}, {"min", 0}, {"max", 900}} << "-5"
                                            << "0 – 900" << QVariant(100);
    QTest::newRow("2.5 into -2 to 2") << QJsonObject{{"widget", "QDoubleSpinBox"}, {"min", -2}, {"max", 2}} << "2.5"
                                      << "-2.000 – 2.000" << QVariant(1.5);
}

// A number typed outside the range stays as typed, through Enter and the loss of the
// focus, is reported with the range, and is not taken into the value.
void tst_PropertyWidgets::typedOutOfRangeIsRefused()
{
    QFETCH(QJsonObject, widget);
    QFETCH(QString, typed);
    QFETCH(QString, range);
    QFETCH(QVariant, stored);
    const bool real = widget.value("widget").toString() == "QDoubleSpinBox";
    Prop p = makeProperty(real ? QVariant(1.5) : QVariant(100), widget);
    Host host;
    p->create_ui_ctrl(&host.widget, "K", false);
    p->to_ui_ctrl();
    auto* spin = qobject_cast<QAbstractSpinBox*>(uiCtrl(p.get()));
    QVERIFY(spin);
    spin->selectAll();
    QTest::keyClicks(spin, typed);
    QTest::keyClick(spin, Qt::Key_Return);
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(spin, &out);
    QString said;
    QCOMPARE(kt_editor_refuses(spin, &said), !range.isEmpty());
    QCOMPARE(said, range);
    if (!range.isEmpty())
        QCOMPARE(spin->text(), typed);
    p->from_ui_ctrl();
    QCOMPARE(p->value().toDouble(), stored.toDouble());
}

QTEST_MAIN(tst_PropertyWidgets)
