#ifndef SIMSETTINGS_H
#define SIMSETTINGS_H

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

namespace ktsim {

struct DeviceInfo
{
    QString firmware = QStringLiteral("V1.0.8");
    QString deviceId = QStringLiteral("RV8-000001");
    QString pcbId = QStringLiteral("PCB-2406-0001");
    QString pcbVersion = QStringLiteral("1.2");
    QString uniqueId = QStringLiteral("5A17C3E9");
    QString configNo = QStringLiteral("1");
};

// A faulty cutter: reads of silent keys go unanswered, writes of refused keys are answered
// with result 1, writes of ignored keys are answered 0 but not applied.
struct SettingQuirks
{
    QStringList silent;
    QStringList refused;
    QStringList ignored;
};

// The settings and information a cutter of one family keeps: numbered CCMD settings
// (both families) and device registers (family 157), answered the way the driver decodes.
class SettingsStore
{
public:
    SettingsStore(int family, const DeviceInfo& info, const SettingQuirks& quirks = SettingQuirks());

    // A reply to a CCMD read or write of a known setting; false when no setting has the code.
    bool read(int code, const QStringList& fields, QByteArray* reply) const;
    bool write(int code, const QStringList& fields, QByteArray* reply);

    QStringList values(const QString& key) const { return settingValues.value(key); }
    void setValues(const QString& key, const QStringList& values) { settingValues.insert(key, values); }

    QString registerValue(int reg) const { return registerValues.value(reg, QStringLiteral("0")); }
    void setRegister(int reg, const QString& value) { registerValues.insert(reg, value); }

    void factoryReset();

private:
    struct Row
    {
        QString key;
        int get;
        int set;
        QStringList params;
        QStringList parts; // a record read as the values of other settings
        QStringList initial;
    };
    const Row* rowByGet(int code) const;
    const Row* rowBySet(int code) const;
    QStringList recordValues(const Row& row) const;

    int familyCode;
    DeviceInfo info;
    QList<Row> rows;
    QHash<QString, QStringList> settingValues;
    SettingQuirks quirks;
    QMap<int, QString> registerValues;
};

} // namespace ktsim

#endif // SIMSETTINGS_H
