#include "settingswriter.h"

#include "cutterconnection.h"
#include "settingsaccess.h"

bool SettingsReport::allApplied() const
{
    for (const SettingOutcome& outcome : outcomes) {
        if (outcome.result != SettingOutcome::Applied)
            return false;
    }
    return written && readBack;
}

QList<SettingOutcome> SettingsReport::of(const QStringList& parts) const
{
    QList<SettingOutcome> found;
    for (const SettingOutcome& outcome : outcomes) {
        if (parts.contains(outcome.key))
            found << outcome;
    }
    return found;
}

SettingsWriter::SettingsWriter(CutterConnection& connection, const SettingsAccess& access)
    : link(connection), settings(access)
{
}

SettingsReport SettingsWriter::write(const QStringList& keys)
{
    SettingsReport report;
    QStringList parts;
    for (const QString& key : keys) {
        for (const QString& part : settings.leaves(key)) {
            if (!parts.contains(part))
                parts << part;
        }
    }
    for (const QString& part : parts)
        report.outcomes.append({part, settings.writeOwner(part), settings.shown(part), QString()});
    for (const QByteArray& frame : settings.writeFrames(parts))
        link.send(frame);
    // The writes' own answers arrive before the read-back's.
    report.written = link.barrier(CutterConnection::ReplyTimeoutMs);
    if (report.written) {
        report.refused = settings.refusedWrites(parts);
        report.readBack = link.readBack(settings.readKeys(keys), CutterConnection::ReplyTimeoutMs, &report.unanswered);
    }
    for (SettingOutcome& outcome : report.outcomes) {
        outcome.held = settings.shown(outcome.key);
        const QString group = settings.groupOf(outcome.key);
        if (!report.readBack || report.unanswered.contains(outcome.key)
            || (!group.isEmpty() && report.unanswered.contains(group)))
            outcome.result = SettingOutcome::Unanswered;
        else if (report.refused.contains(outcome.owner))
            outcome.result = SettingOutcome::Refused;
        else if (outcome.held != outcome.asked)
            outcome.result = SettingOutcome::NotApplied;
        else
            outcome.result = SettingOutcome::Applied;
    }
    return report;
}
