#include "ktdeviceproperty.h"
#include "ktdeviceproperty_p.h"
#include "propertytable_p.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>

namespace {

QString translated(const char* context, const char* text)
{
    return QCoreApplication::translate(context, text);
}

// An empty caption stays empty rather than being looked up.
QString labelText(const char* context, const char* label)
{
    return (label && *label) ? translated(context, label) : QString();
}

QString unitText(const char* context, const KTPropertyRow& row)
{
    const char* unit = row.unit ? row.unit : "";
    if ((row.flags & KTUnitTranslated) && *unit)
        return translated(context, unit);
    return QString::fromUtf8(unit);
}

QVariant initialValue(const char* context, const KTPropertyRow& row)
{
    if (row.flags & KTCreationTime)
        return QDateTime::currentDateTime();
    if (row.flags & KTValueTranslated)
        return translated(context, row.initial.toString().toUtf8().constData());
    return row.initial;
}

void attachChildren(KTDeviceInterface* device, KTDeviceProperty* group, const KTPropertyRow& row)
{
    for (const char* childKey : row.children) {
        if (KTDeviceProperty* child = kt_property_of(device, childKey))
            group->setProperty(childKey, QVariant::fromValue(static_cast<void*>(child)));
    }
}

KTDeviceProperty* buildRow(KTDeviceInterface* device, const char* context, const KTPropertyRow& row)
{
    auto* property = new KTDeviceProperty(nullptr);
    property->init(initialValue(context, row), labelText(context, row.label), unitText(context, row), row.get, row.set,
                   row.length, row.kind, row.param);
    const bool hasWidget = !row.widget.isEmpty();
    const bool widgetFirst = !(row.flags & KTWidgetAfterChildren);
    if (hasWidget && widgetFirst)
        property->setProperty("WIDGET", kt_widget_descriptor(row.widget, context));
    attachChildren(device, property, row);
    if (hasWidget && !widgetFirst)
        property->setProperty("WIDGET", kt_widget_descriptor(row.widget, context));
    return property;
}

} // namespace

QJsonObject kt_widget_descriptor(const QJsonObject& widget, const char* context)
{
    QJsonObject descriptor = widget;
    const QJsonValue option = widget.value(QStringLiteral("option"));
    if (option.isArray()) {
        QStringList items;
        for (const QJsonValue& item : option.toArray())
            items.append(translated(context, item.toString().toUtf8().constData()));
        descriptor.insert(QStringLiteral("option"), items.join(QLatin1Char(';')));
    }
    return descriptor;
}

void kt_build_properties(KTDeviceInterface* device, const char* context, const KTPropertyRow* rows, std::size_t count)
{
    if (!device || !rows)
        return;
    for (std::size_t i = 0; i < count; ++i)
        device->storeProperty(rows[i].key, buildRow(device, context, rows[i]));
}
