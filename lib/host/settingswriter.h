#ifndef SETTINGSWRITER_H
#define SETTINGSWRITER_H

#include <QString>
#include <QStringList>

class CutterConnection;
class SettingsAccess;

// What became of one value written to the cutter.
struct SettingOutcome
{
    enum Result {
        Applied,    // the cutter holds what was asked
        Refused,    // the cutter answered the write with a refusal
        NotApplied, // the cutter took the write but holds another value
        Unanswered, // no answer to the write or to the read-back
    };
    QString key;   // the value's own key (a group's part)
    QString owner; // the setting whose write request carried it
    QString asked; // as shown: in the editor's units
    QString held;
    Result result = Unanswered;
};

struct SettingsReport
{
    bool written = false;           // the cutter answered the write requests
    bool readBack = false;          // it answered the read-back
    QStringList unanswered;         // keys the read-back got no value for
    QStringList refused;            // settings whose write the cutter refused
    QList<SettingOutcome> outcomes; // one per part written, in order

    bool allApplied() const;
    // The outcomes of the parts of key (a group's parts, else key itself).
    QList<SettingOutcome> of(const QStringList& parts) const;
};

// Writes settings the way every host does: the values the properties now hold go out in
// their write requests, the answers are waited for, then the settings are read back and
// each part compared with what was asked.
class SettingsWriter
{
public:
    SettingsWriter(CutterConnection& link, const SettingsAccess& settings);

    // keys: settings or group parts whose properties hold the values to write.
    SettingsReport write(const QStringList& keys);

private:
    CutterConnection& link;
    const SettingsAccess& settings;
};

#endif // SETTINGSWRITER_H
