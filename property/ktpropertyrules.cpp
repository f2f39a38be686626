#include "ktpropertyrules_p.h"

#include "ktdeviceproperty.h"
#include "ktdeviceproperty_p.h"

#include <QJsonValue>

#include <algorithm>
#include <cmath>
#include <limits>

QVector<QPair<QByteArray, KTDeviceProperty*>> kt_child_properties(const QObject* holder)
{
    QVector<QPair<QByteArray, KTDeviceProperty*>> result;
    if (!holder)
        return result;
    const QList<QByteArray> names = holder->dynamicPropertyNames();
    for (const QByteArray& name : names) {
        if (name == KTEditorKey)
            continue;
        if (KTDeviceProperty* child = kt_property_of(holder, name.constData()))
            result.append({name, child});
    }
    return result;
}

namespace {

// A spin box bound: only a whole number in the int range counts.
double wholeNumber(const QJsonObject& descriptor, const char* key, int fallback)
{
    const QJsonValue v = descriptor.value(QLatin1String(key));
    if (!v.isDouble())
        return fallback;
    const double d = v.toDouble();
    if (!std::isfinite(d) || d != std::trunc(d) || d < double(std::numeric_limits<int>::min())
        || d > double(std::numeric_limits<int>::max()))
        return fallback;
    return d;
}

// A zero or non-finite factor would make the editor's value unrecoverable (division by
// zero), so it counts as absent.
double factorOf(const QJsonObject& descriptor)
{
    const double f = descriptor.value(QStringLiteral("factor")).toDouble(1.0);
    return (f == 0.0 || !std::isfinite(f)) ? 1.0 : f;
}

} // namespace

KTEditorRules kt_editor_rules(const QJsonObject& descriptor)
{
    KTEditorRules rules;
    rules.kind = descriptor.value(QStringLiteral("widget")).toString();
    if (rules.kind == QLatin1String("QSpinBox")) {
        rules.min = wholeNumber(descriptor, "min", 0);
        rules.max = wholeNumber(descriptor, "max", 1000);
    } else {
        rules.min = descriptor.value(QStringLiteral("min")).toDouble(0.0);
        rules.max = descriptor.value(QStringLiteral("max")).toDouble(0.0);
    }
    rules.max = std::max(rules.max, rules.min);
    rules.factor = factorOf(descriptor);
    const QString option = descriptor.value(QStringLiteral("option")).toString();
    if (!option.isEmpty())
        rules.options = option.split(QLatin1Char(';'), Qt::KeepEmptyParts);
    return rules;
}

namespace {

int truncToInt(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(std::trunc(v));
}

bool holdsWholeNumber(const KTEditorRules& rules)
{
    return rules.kind == QLatin1String("QSpinBox") || rules.kind == QLatin1String("QComboBox");
}

bool holdsNumberText(const KTEditorRules& rules)
{
    return rules.kind == QLatin1String("QLineEdit") && rules.factor != 1.0;
}

} // namespace

QString kt_editor_number(double value, int digits)
{
    return QString::number(value, 'g', digits);
}

QVariant kt_editor_value(const KTEditorRules& rules, const QVariant& stored, int digits)
{
    if (holdsWholeNumber(rules))
        return truncToInt(stored.toInt() * rules.factor);
    if (rules.kind == QLatin1String("QDoubleSpinBox"))
        return stored.toDouble() * rules.factor;
    if (holdsNumberText(rules))
        return kt_editor_number(stored.toDouble() * rules.factor, digits);
    return stored;
}

QVariant kt_stored_value(const KTEditorRules& rules, const QVariant& shown, int digits)
{
    if (holdsWholeNumber(rules))
        return truncToInt(shown.toDouble() / rules.factor);
    if (rules.kind == QLatin1String("QDoubleSpinBox"))
        return shown.toDouble() / rules.factor;
    if (holdsNumberText(rules))
        return kt_editor_number(shown.toString().toDouble() / rules.factor, digits);
    return shown;
}
