#ifndef KTPROPERTYRULES_H
#define KTPROPERTYRULES_H

#include "ktglobal.h"

#include <QByteArray>
#include <QJsonObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class KTDeviceProperty;
class QObject;
class QWidget;

// How the plug-in reads the property tree and the editor descriptors. The hosts that show
// settings without the plug-in's widgets call these too, so both sides agree.

// The dynamic property that holds a property's editor, a void* like the children.
constexpr char KTEditorKey[] = "UI_CTRL";

// The child properties stored on holder, with their keys, in attachment order. The editor
// pointer is no child: reading it as one would take a widget for a property.
KTRV8_EXPORT QVector<QPair<QByteArray, KTDeviceProperty*>> kt_child_properties(const QObject* holder);

// What the editor built from a "WIDGET" descriptor accepts, with the defaults it applies.
struct KTEditorRules
{
    QString kind; // "QSpinBox", "QComboBox", ...; empty: a caption only
    double min = 0;
    double max = 0;      // never below min, as the spin boxes keep it
    double factor = 1.0; // shown = stored * factor; never 0 nor infinite
    QStringList options; // a combo box's items
};

KTRV8_EXPORT KTEditorRules kt_editor_rules(const QJsonObject& descriptor);

// Significant digits of a number written as text. The plug-in's editors write six (the form
// their users know, exponent and all); a host that writes a value typed in keeps ten, so that
// no digit typed is lost on the way to the cutter.
constexpr int KTEditorDigits = 6;
constexpr int KTHostDigits = 10;

// The value an editor shows for a stored value, and the stored value for what an editor
// holds (shown = stored * factor): a spin box or a list holds a whole number (truncated
// toward zero, kept in the int range), a double spin box a number, a line edit with a
// factor a number written with digits significant digits. Other editors hold the stored
// value as it is.
KTRV8_EXPORT QVariant kt_editor_value(const KTEditorRules& rules, const QVariant& stored, int digits = KTEditorDigits);
KTRV8_EXPORT QVariant kt_stored_value(const KTEditorRules& rules, const QVariant& shown, int digits = KTEditorDigits);
KTRV8_EXPORT QString kt_editor_number(double value, int digits = KTEditorDigits);

// Whether a spin box built for a property holds a number typed outside its range. Such a
// number stays as typed, and from_ui_ctrl takes nothing from the editor while it does, so
// the host can show it refused. `range`: the editor's range in words ("10 – 300").
KTRV8_EXPORT bool kt_editor_refuses(const QWidget* editor, QString* range = nullptr);

#endif // KTPROPERTYRULES_H
