#ifndef SETTINGSACCESS_H
#define SETTINGSACCESS_H

#include <QJsonValue>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

class CutterConnection;
class KTDeviceProperty;

// Settings by key, as the property widgets see them: groups expand into their children,
// values are shown and entered in the widget's units and checked against its range.
class SettingsAccess
{
public:
    explicit SettingsAccess(CutterConnection& link);

    // Settings and device information only: keys the host's lists name, and their parts.
    // Commands (GET_QRCODE, TASK_STOP, ...) are not keys: reading one would run it.
    bool exists(const QString& key) const;
    QStringList knownKeys() const;
    // A group's children in row order, else the key itself.
    QStringList leaves(const QString& key) const;
    // The group a part belongs to, else empty.
    QString groupOf(const QString& leaf) const { return parentOf.value(leaf); }

    QString shown(const QString& key) const;
    QJsonValue shownJson(const QString& key) const;
    QString label(const QString& key) const;
    QString unit(const QString& key) const;
    // The caption of a list setting's current item; empty for other settings.
    QString caption(const QString& key) const;
    // Write owners among the given leaves whose write the cutter answered with a refusal.
    QStringList refusedWrites(const QStringList& leafKeys) const;

    // Checks text against the widget of key (a group takes one comma-separated value per
    // child) and gives the values to store, leaf by leaf.
    bool parse(const QString& key, const QString& text, QList<QPair<QString, QVariant>>* values, QString* error) const;
    // Read requests that fill the given keys, and write requests that carry them.
    QStringList readKeys(const QStringList& keys) const;
    QList<QByteArray> writeFrames(const QStringList& leafKeys) const;
    // The setting whose write request carries leaf: the leaf itself, or its compound group.
    QString writeOwner(const QString& leaf) const;

private:
    KTDeviceProperty* property(const QString& key) const;
    QStringList childrenOf(KTDeviceProperty* group) const;
    bool parseLeaf(const QString& key, const QString& text, QVariant* value, QString* error) const;

    CutterConnection& link;
    QMap<QString, QString> parentOf; // child key -> group key
    QStringList listed;              // the host's lists and their groups' parts
};

#endif // SETTINGSACCESS_H
