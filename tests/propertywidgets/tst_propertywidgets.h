#ifndef TST_PROPERTYWIDGETS_H
#define TST_PROPERTYWIDGETS_H

// The property-editor test class and its helpers, shared by tst_propertywidgets.cpp (rows,
// ranges and factors) and editorvalues.cpp (values between editors and properties).

#include "ktdeviceproperty.h"
#include "ktpropertyrules_p.h"

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

using Prop = std::unique_ptr<KTDeviceProperty>;

inline Prop makeProperty(const QVariant& value, const QJsonObject& widget, const QString& label = "Caption",
                         const QString& unit = "unit")
{
    Prop p(new KTDeviceProperty(nullptr));
    p->init(value, label, unit, 0, 0, 0, KTDeviceInterface::UnCMD, {});
    if (!widget.isEmpty())
        p->setProperty("WIDGET", widget);
    return p;
}

inline void attach(KTDeviceProperty* group, const char* key, KTDeviceProperty* child)
{
    group->setProperty(key, QVariant::fromValue(static_cast<void*>(child)));
}

inline QWidget* uiCtrl(const KTDeviceProperty* p)
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

inline QWidget* rowAt(QLayout* layout, int i)
{
    return layout->itemAt(i)->widget();
}

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
    void typedOutOfRangeIsRefused_data();
    void typedOutOfRangeIsRefused();
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

#endif // TST_PROPERTYWIDGETS_H
