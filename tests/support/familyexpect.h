// Shared by the family tests: an expected property, written by hand, and the comparison of a
// built device against a list of them.
#ifndef FAMILYEXPECT_H
#define FAMILYEXPECT_H

#include "ktdeviceinterface.h"
#include "ktdeviceproperty.h"
#include "ktdeviceproperty_p.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTest>
#include <QVariant>
#include <QVector>

struct Expected
{
    const char* key;
    QString label;
    QString unit;
    QVariant value; // an invalid QDateTime stands for "the time of creation"
    int get;
    int set;
    int length;
    KTDeviceInterface::KTDeviceCMDType kind;
    QJsonObject widget;   // as stored, options joined; empty: no "WIDGET"
    QStringList children; // attachment order
};

inline QString valueText(const QVariant& v)
{
    if (!v.isValid())
        return QStringLiteral("invalid");
    QString text;
    switch (v.userType()) {
    case QMetaType::QJsonObject:
        text = QString::fromUtf8(QJsonDocument(v.toJsonObject()).toJson(QJsonDocument::Compact));
        break;
    case QMetaType::QStringList: text = v.toStringList().join(QLatin1Char(',')); break;
    case QMetaType::QByteArray: text = QString::fromLatin1(v.toByteArray().toHex()); break;
    case QMetaType::QDateTime: break; // checked against the build time separately
    default: text = v.toString();
    }
    return QString::fromLatin1(v.typeName()) + QLatin1Char(':') + text;
}

inline QString widgetText(const QVariant& widget)
{
    if (!widget.isValid())
        return QStringLiteral("-");
    return QString::fromUtf8(QJsonDocument(widget.toJsonObject()).toJson(QJsonDocument::Compact));
}

inline QString describe(const Expected& e)
{
    return QStringList{QString::fromLatin1(e.key),
                       e.label,
                       e.unit,
                       valueText(e.value),
                       QString::number(e.get),
                       QString::number(e.set),
                       QString::number(e.length),
                       QString::number(e.kind),
                       e.widget.isEmpty() ? QStringLiteral("-") : widgetText(e.widget),
                       e.children.join(QLatin1Char(','))}
        .join(QStringLiteral(" | "));
}

// Children are the property's void* entries, in the order they were set.
inline QStringList childKeys(const KTDeviceProperty* p)
{
    QStringList keys;
    for (const QByteArray& name : p->dynamicPropertyNames()) {
        if (p->property(name.constData()).userType() == QMetaType::VoidStar)
            keys << QString::fromLatin1(name);
    }
    return keys;
}

inline QString describe(const QByteArray& key, const KTDeviceProperty* p)
{
    return QStringList{QString::fromLatin1(key),
                       p->label(),
                       p->uint(),
                       valueText(p->value()),
                       QString::number(p->get_cmd_int()),
                       QString::number(p->set_cmd_int()),
                       QString::number(p->cmd_len()),
                       QString::number(p->cmd_type()),
                       widgetText(p->property("WIDGET")),
                       childKeys(p).join(QLatin1Char(','))}
        .join(QStringLiteral(" | "));
}

inline QStringList keysOf(const QObject* device)
{
    QStringList keys;
    for (const QByteArray& name : device->dynamicPropertyNames())
        keys << QString::fromLatin1(name);
    return keys;
}

// The device holds exactly the expected keys in creation order, each described as expected;
// every child on a group is the device's own property of that key; no parameter lists.
inline void compareDevice(KTDeviceInterface* device, const QVector<Expected>& expected, const QDateTime& builtAfter,
                          const QDateTime& builtBefore)
{
    QStringList expectedKeys;
    for (const Expected& e : expected)
        expectedKeys << QString::fromLatin1(e.key);
    QCOMPARE(keysOf(device), expectedKeys);
    for (const Expected& e : expected) {
        const QVariant stored = device->property(e.key);
        QCOMPARE(stored.userType(), int(QMetaType::VoidStar));
        const KTDeviceProperty* p = kt_property_of(device, e.key);
        QVERIFY2(p, e.key);
        QCOMPARE(describe(e.key, p), describe(e));
        QVERIFY2(p->param().isEmpty(), e.key);
        QVERIFY2(!p->parent(), e.key);
        if (e.value.userType() == QMetaType::QDateTime) {
            const QDateTime t = p->value().toDateTime();
            QVERIFY2(t >= builtAfter && t <= builtBefore, e.key);
        }
        for (const QString& child : e.children) {
            const QByteArray name = child.toLatin1();
            QVERIFY2(p->property_ptr(name.constData()), name.constData());
            QVERIFY2(p->property_ptr(name.constData()) == kt_property_of(device, name.constData()), name.constData());
        }
    }
}

#endif // FAMILYEXPECT_H
