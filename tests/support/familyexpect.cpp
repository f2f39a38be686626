#include "familyexpect.h"
#include "ktdeviceproperty_p.h"

#include <QJsonDocument>
#include <QTest>

namespace {

using K = KTDeviceInterface;

QString valueText(const QVariant& v)
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

QString rangeText(const QJsonObject& range)
{
    return range.isEmpty() ? QStringLiteral("-")
                           : QString::fromUtf8(QJsonDocument(range).toJson(QJsonDocument::Compact));
}

// The part of a "WIDGET" descriptor that bounds what is sent: its limits, its scale and, for a
// combo, how many items (and so which indexes) it offers.
QJsonObject rangeOf(const QVariant& widget)
{
    const QJsonObject descriptor = widget.toJsonObject();
    QJsonObject range;
    for (const char* limit : {"min", "max", "factor"}) {
        if (descriptor.contains(QLatin1String(limit)))
            range.insert(QLatin1String(limit), descriptor.value(QLatin1String(limit)));
    }
    if (descriptor.contains(QStringLiteral("option")))
        range.insert(QStringLiteral("items"), descriptor.value(QStringLiteral("option")).toString().split(';').size());
    return range;
}

// Children are the property's void* entries, in the order they were set.
QStringList childKeys(const KTDeviceProperty* p)
{
    QStringList keys;
    for (const QByteArray& name : p->dynamicPropertyNames()) {
        if (p->property(name.constData()).userType() == QMetaType::VoidStar)
            keys << QString::fromLatin1(name);
    }
    return keys;
}

QString describe(const QString& key, const QString& value, int get, int set, int length, int kind,
                 const QStringList& param, const QJsonObject& range, const QStringList& children)
{
    return QStringList{key,
                       value,
                       QString::number(get),
                       QString::number(set),
                       QString::number(length),
                       QString::number(kind),
                       param.join(QLatin1Char(',')),
                       rangeText(range),
                       children.join(QLatin1Char(','))}
        .join(QStringLiteral(" | "));
}

} // namespace

QJsonObject range(double min, double max)
{
    return {{"min", min}, {"max", max}};
}

QJsonObject range(double min, double max, double factor)
{
    return {{"min", min}, {"max", max}, {"factor", factor}};
}

QJsonObject scaled(double factor)
{
    return {{"factor", factor}};
}

QJsonObject items(int count)
{
    return {{"items", count}};
}

QString describe(const Expected& e)
{
    return describe(QString::fromLatin1(e.key), valueText(e.value), e.get, e.set, e.length, e.kind, e.param, e.range,
                    e.children);
}

QString describe(const QByteArray& key, const KTDeviceProperty* p)
{
    return describe(QString::fromLatin1(key), valueText(p->value()), p->get_cmd_int(), p->set_cmd_int(), p->cmd_len(),
                    p->cmd_type(), p->param(), rangeOf(p->property("WIDGET")), childKeys(p));
}

QStringList keysOf(const QObject* device)
{
    QStringList keys;
    for (const QByteArray& name : device->dynamicPropertyNames())
        keys << QString::fromLatin1(name);
    return keys;
}

void compareProperty(KTDeviceInterface* device, const Expected& e, const QDateTime& builtAfter,
                     const QDateTime& builtBefore)
{
    QCOMPARE(device->property(e.key).userType(), int(QMetaType::VoidStar));
    const KTDeviceProperty* p = kt_property_of(device, e.key);
    QVERIFY2(p, e.key);
    QCOMPARE(describe(e.key, p), describe(e));
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

void compareDevice(KTDeviceInterface* device, const QVector<Expected>& expected, const QDateTime& builtAfter,
                   const QDateTime& builtBefore)
{
    QStringList expectedKeys;
    for (const Expected& e : expected)
        expectedKeys << QString::fromLatin1(e.key);
    QCOMPARE(keysOf(device), expectedKeys);
    for (const Expected& e : expected) {
        compareProperty(device, e, builtAfter, builtBefore);
        if (QTest::currentTestFailed())
            return;
    }
}

// clang-format off
namespace Family437 {

QVector<Expected> base()
{
    return {
        // key, value, get, set, length, kind, range, children, param
        {"STATUS", int(0), 0, 0, 0, K::UnCMD, {}},
        {"DEVICE_STATUS", QString(), 4, 0, 1, K::CCMD, {}},
        {"TCP_PORT", int(9100), 0, 0, 0, K::UnCMD, {}},
        {"FILE_PREVIEW", QByteArray(), 0, 0, 0, K::UnCMD, {}},
        {"TASK_FILE_INFO", QJsonObject(), 0, 0, 0, K::UnCMD, {}},
        {"GET_QRCODE", QVariant(), 11, 0, 1, K::CCMD, {}},
        {"QRCODE_FILE", QString(), 55, 55, 1, K::CCMD, {}},
        {"TASK_COPIES", int(1), 30, 30, 1, K::CCMD, {}},
        {"TASK_PPLT", QString(), 0, 1, 1, K::PPLT, {}},
        {"TASK_STOP", int(2), 27, 27, 1, K::CCMD, {}},
        {"TASK_PAUSE", int(0), 27, 27, 1, K::CCMD, {}},
        {"TASK_RESUME", int(1), 27, 27, 1, K::CCMD, {}},
        {"TASK_MODE", int(0), 32, 32, 1, K::CCMD, {}},
        {"LAST_TIME", QDateTime(), 0, 0, 0, K::UnCMD, {}},
        {"CONNECT_MODE", QString(), 0, 0, 0, K::UnCMD, {}},
        {"DEVICE_CLOUD", QJsonObject(), 0, 0, 0, K::UnCMD, {}},
        {"WORK_MODE", 0u, 64, 23, 1, K::CCMD, items(3)},
    };
}

QVector<Expected> info()
{
    return {
        {"FIRMWARE", QString(), 51, 0, 1, K::CCMD, {}},
        {"DEVICE_ID", QString(), 45, 44, 1, K::CCMD, {}},
        {"PCB_ID", QString(), 47, 46, 1, K::CCMD, {}},
        {"PCB_VERSION", QString(), 49, 48, 1, K::CCMD, {}},
    };
}

QVector<Expected> cameraOffset()
{
    return {
        {"CAMERA_OFFSET_X", 0.0, 0, 0, 0, K::UnCMD, range(-1000, 1000)},
        {"CAMERA_OFFSET_Y", 0.0, 0, 0, 0, K::UnCMD, range(-1000, 1000)},
        {"CAMERA_OFFSET", QStringList{"CAMERA_OFFSET_X", "CAMERA_OFFSET_Y"}, 16, 15, 1, K::CCMD, {},
         {"CAMERA_OFFSET_X", "CAMERA_OFFSET_Y"}},
    };
}

QVector<Expected> scale()
{
    return {
        {"SCALE_X", 1.0, 61, 20, 1, K::CCMD, range(0, 200)},
        {"SCALE_Y", 1.0, 62, 21, 1, K::CCMD, range(0, 200)},
        {"SCALE", QVariant(), 0, 0, 0, K::UnCMD, {}, {"SCALE_X", "SCALE_Y"}},
    };
}

QVector<Expected> workArea()
{
    return {
        {"WORKAREA_X", 0.0, 0, 0, 0, K::UnCMD, range(10, 10000)},
        {"WORKAREA_Y", 0.0, 0, 0, 0, K::UnCMD, range(10, 10000)},
        {"WORKAREA", QStringList{"WORKAREA_X", "WORKAREA_Y"}, 63, 22, 1, K::CCMD, {}, {"WORKAREA_X", "WORKAREA_Y"}},
    };
}

} // namespace Family437
// clang-format on
