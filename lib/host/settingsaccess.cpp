#include "settingsaccess.h"

#include "cutterconnection.h"

#include "ktdeviceproperty.h"
#include "ktpropertyrules_p.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>

namespace {

// The widget descriptor, read as the editors read it.
KTEditorRules widgetOf(const KTDeviceProperty* p)
{
    return kt_editor_rules(p->property("WIDGET").toJsonObject());
}

QString number(double v)
{
    return kt_editor_number(v, KTHostDigits);
}

// Same type as the property holds, so the cutter's replies decode into it again.
QVariant asTypeOf(const QVariant& current, const QVariant& value)
{
    QVariant converted = value;
    const int type = current.userType();
    if ((type == QMetaType::UInt || type == QMetaType::Int || type == QMetaType::Double || type == QMetaType::QString)
        && converted.convert(type))
        return converted;
    return value;
}

// Free text travels inside a frame: the separators and control bytes would break it.
bool freeTextFits(const QString& key, const QString& text, QString* error)
{
    for (const QChar c : text) {
        if (c == QLatin1Char(';') || c == QLatin1Char(',') || c.unicode() < 0x20 || c.unicode() == 0x7f) {
            *error = QStringLiteral("%1 cannot contain \";\", \",\" or control characters").arg(key);
            return false;
        }
    }
    if (text.size() > 64) {
        *error = QStringLiteral("%1 takes at most 64 characters").arg(key);
        return false;
    }
    return true;
}

} // namespace

SettingsAccess::SettingsAccess(CutterConnection& deviceLink) : link(deviceLink)
{
    for (const QByteArray& name : link.device()->dynamicPropertyNames()) {
        KTDeviceProperty* p = link.property(QString::fromLatin1(name));
        if (!p)
            continue;
        for (const QString& child : childrenOf(p))
            parentOf.insert(child, QString::fromLatin1(name));
    }
    for (const QString& key : link.device()->userProperty() + link.device()->sysProperty()) {
        if (KTDeviceProperty* p = property(key))
            listed << key << childrenOf(p);
    }
}

KTDeviceProperty* SettingsAccess::property(const QString& key) const
{
    return link.property(key);
}

bool SettingsAccess::exists(const QString& key) const
{
    return listed.contains(key) && property(key) != nullptr;
}

QStringList SettingsAccess::knownKeys() const
{
    QStringList keys;
    for (const QString& key : listed) {
        const KTDeviceProperty* p = property(key);
        if (p && (p->property("WIDGET").isValid() || p->get_cmd_int() != 0))
            keys << key;
    }
    return keys;
}

QStringList SettingsAccess::childrenOf(KTDeviceProperty* group) const
{
    QStringList children;
    for (const auto& child : kt_child_properties(group))
        children << QString::fromLatin1(child.first);
    return children;
}

QStringList SettingsAccess::leaves(const QString& key) const
{
    KTDeviceProperty* p = property(key);
    const QStringList children = p ? childrenOf(p) : QStringList();
    return children.isEmpty() ? QStringList{key} : children;
}

QString SettingsAccess::label(const QString& key) const
{
    const KTDeviceProperty* p = property(key);
    return p ? p->label() : QString();
}

QString SettingsAccess::unit(const QString& key) const
{
    const KTDeviceProperty* p = property(key);
    return p ? p->uint() : QString();
}

QString SettingsAccess::caption(const QString& key) const
{
    const KTDeviceProperty* p = property(key);
    const KTEditorRules w = p ? widgetOf(p) : KTEditorRules();
    if (w.kind != QLatin1String("QComboBox"))
        return QString();
    return w.options.value(shown(key).toInt()).trimmed();
}

QStringList SettingsAccess::refusedWrites(const QStringList& leafKeys) const
{
    QStringList refused;
    for (const QString& leaf : leafKeys) {
        const QString owner = writeOwner(leaf);
        if (!owner.isEmpty() && !refused.contains(owner) && link.replyResult(property(owner)->set_cmd_int()) > 0)
            refused << owner;
    }
    return refused;
}

QString SettingsAccess::shown(const QString& key) const
{
    const QStringList keys = leaves(key);
    if (keys.size() > 1 || keys.first() != key) {
        QStringList parts;
        for (const QString& leaf : keys)
            parts << shown(leaf);
        return parts.join(QLatin1Char(','));
    }
    const KTDeviceProperty* p = property(key);
    if (!p)
        return QString();
    const QVariant value = kt_editor_value(widgetOf(p), p->value(), KTHostDigits);
    return value.userType() == QMetaType::Double ? number(value.toDouble()) : value.toString();
}

QJsonValue SettingsAccess::shownJson(const QString& key) const
{
    const QStringList keys = leaves(key);
    if (keys.size() > 1 || keys.first() != key) {
        QJsonObject group;
        for (const QString& leaf : keys)
            group.insert(leaf, shownJson(leaf));
        return group;
    }
    const KTDeviceProperty* p = property(key);
    const QString text = shown(key);
    const KTEditorRules w = p ? widgetOf(p) : KTEditorRules();
    if (w.kind == QLatin1String("QSpinBox") || w.kind == QLatin1String("QComboBox")
        || w.kind == QLatin1String("QDoubleSpinBox"))
        return text.toDouble();
    return text;
}

bool SettingsAccess::parse(const QString& key, const QString& text, QList<QPair<QString, QVariant>>* values,
                           QString* error) const
{
    if (!exists(key)) {
        *error = QStringLiteral("unknown setting \"%1\" (known: %2)").arg(key, knownKeys().join(QLatin1String(", ")));
        return false;
    }
    const QStringList keys = leaves(key);
    const QStringList parts = keys.size() > 1 ? text.split(QLatin1Char(',')) : QStringList{text};
    if (parts.size() != keys.size()) {
        *error = QStringLiteral("%1 takes %2 comma-separated values (%3), not \"%4\"")
                     .arg(key)
                     .arg(keys.size())
                     .arg(keys.join(QLatin1String(", ")), text);
        return false;
    }
    for (int i = 0; i < keys.size(); ++i) {
        QVariant value;
        if (!parseLeaf(keys.at(i), parts.at(i).trimmed(), &value, error))
            return false;
        values->append({keys.at(i), value});
    }
    return true;
}

bool SettingsAccess::parseLeaf(const QString& key, const QString& text, QVariant* value, QString* error) const
{
    const KTDeviceProperty* p = property(key);
    const KTEditorRules w = widgetOf(p);
    if (w.kind.isEmpty() || w.kind == QLatin1String("QLabel") || writeOwner(key).isEmpty()) {
        *error = QStringLiteral("%1 is read-only").arg(key);
        return false;
    }
    auto range = [&](double shown) {
        if (shown >= w.min && shown <= w.max)
            return true;
        *error = QStringLiteral("%1 must be from %2 to %3%4, not %5")
                     .arg(key, number(w.min), number(w.max),
                          p->uint().isEmpty() ? QString() : QStringLiteral(" ") + p->uint(), text);
        return false;
    };
    bool ok = false;
    if (w.kind == QLatin1String("QSpinBox")) {
        const int shown = text.toInt(&ok);
        if (!ok) {
            *error = QStringLiteral("%1 takes a whole number from %2 to %3, not \"%4\"")
                         .arg(key, number(w.min), number(w.max), text);
            return false;
        }
        if (!range(shown))
            return false;
        *value = asTypeOf(p->value(), kt_stored_value(w, shown, KTHostDigits));
        return true;
    }
    if (w.kind == QLatin1String("QComboBox")) {
        const int index = text.toInt(&ok);
        if (!ok || index < 0 || index >= w.options.size()) {
            *error = QStringLiteral("%1 takes an item number from 0 to %2, not \"%3\"")
                         .arg(key)
                         .arg(w.options.size() - 1)
                         .arg(text);
            return false;
        }
        *value = asTypeOf(p->value(), kt_stored_value(w, index, KTHostDigits));
        return true;
    }
    if (w.kind == QLatin1String("QDoubleSpinBox")) {
        const double shown = text.toDouble(&ok);
        if (!ok || !std::isfinite(shown)) {
            *error = QStringLiteral("%1 takes a number from %2 to %3, not \"%4\"")
                         .arg(key, number(w.min), number(w.max), text);
            return false;
        }
        if (!range(shown))
            return false;
        *value = asTypeOf(p->value(), kt_stored_value(w, shown, KTHostDigits));
        return true;
    }
    if (!freeTextFits(key, text, error))
        return false;
    *value = kt_stored_value(w, text, KTHostDigits);
    return true;
}

// The property whose write request carries leaf: the leaf itself, or its compound group.
QString SettingsAccess::writeOwner(const QString& leaf) const
{
    const KTDeviceProperty* p = property(leaf);
    if (p && p->set_cmd_int() != 0 && p->cmd_type() != KTDeviceInterface::UnCMD)
        return leaf;
    const QString parent = parentOf.value(leaf);
    const KTDeviceProperty* group = parent.isEmpty() ? nullptr : property(parent);
    return group && group->set_cmd_int() != 0 && group->cmd_type() != KTDeviceInterface::UnCMD ? parent : QString();
}

QStringList SettingsAccess::readKeys(const QStringList& keys) const
{
    QStringList reads;
    for (const QString& key : keys) {
        for (const QString& leaf : leaves(key)) {
            const KTDeviceProperty* p = property(leaf);
            QString reader = p && p->get_cmd_int() != 0 ? leaf : parentOf.value(leaf);
            const KTDeviceProperty* r = reader.isEmpty() ? nullptr : property(reader);
            if (r && !r->get_cmd_bytes().isEmpty() && !reads.contains(reader))
                reads << reader;
        }
    }
    return reads;
}

QList<QByteArray> SettingsAccess::writeFrames(const QStringList& leafKeys) const
{
    QStringList owners;
    for (const QString& leaf : leafKeys) {
        const QString owner = writeOwner(leaf);
        if (!owner.isEmpty() && !owners.contains(owner))
            owners << owner;
    }
    QList<QByteArray> frames;
    for (const QString& owner : owners)
        frames << property(owner)->set_cmd_bytes();
    return frames;
}
