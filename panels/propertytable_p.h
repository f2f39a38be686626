#ifndef PROPERTYTABLE_H
#define PROPERTYTABLE_H

#include "ktdeviceinterface.h"

#include <QJsonObject>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <cstddef>

// Parameter sets are declared as tables of rows; one builder turns a table into properties
// stored on a device. Captions, translated units and combo items are translation sources:
// mark them with QT_TRANSLATE_NOOP(context, text) so lupdate finds them.
enum KTPropertyRowFlag : unsigned {
    KTPlain = 0,
    KTUnitTranslated = 1,      // the unit passes through translation
    KTValueTranslated = 2,     // the initial value is a text that passes through translation
    KTCreationTime = 4,        // the initial value is the local time at which the row is built
    KTWidgetAfterChildren = 8, // "WIDGET" is set after the children, not before them
};

struct KTPropertyRow
{
    const char* key;
    const char* label; // translated unless empty
    const char* unit;  // literal unless KTUnitTranslated
    unsigned flags;    // KTPropertyRowFlag bits
    QVariant initial;  // its type decides how replies are parsed
    int get;
    int set;
    int length;
    KTDeviceInterface::KTDeviceCMDType kind;
    QStringList param;
    // "widget", "min", "max", "factor"; "option" given as a JSON array of item sources,
    // translated one by one and joined with ";". Empty: no "WIDGET" at all.
    QJsonObject widget;
    // Keys of properties already on the device, attached to this one in this order.
    QVector<const char*> children;
};

// Creates, initialises and stores each row's property on the device, in table order.
// Texts are translated in the given context (the class that owns the table).
void kt_build_properties(KTDeviceInterface* device, const char* context, const KTPropertyRow* rows, std::size_t count);

template <std::size_t N>
void kt_build_properties(KTDeviceInterface* device, const char* context, const KTPropertyRow (&rows)[N])
{
    kt_build_properties(device, context, rows, N);
}

// The "WIDGET" descriptor of a row as stored on the property (options translated and joined).
QJsonObject kt_widget_descriptor(const QJsonObject& widget, const char* context);

#endif // PROPERTYTABLE_H
