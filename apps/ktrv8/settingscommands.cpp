#include "commands.h"
#include "cutterconnection.h"
#include "settingsaccess.h"
#include "settingswriter.h"

#include "ktdeviceproperty.h"

#include <QJsonObject>

namespace {

int connectionProblem(const CutterConnection& link, const Output& out)
{
    out.error(link.isConnected()
                  ? QStringLiteral("the cutter did not answer within %1 s").arg(CutterConnection::ReplyTimeoutMs / 1000)
                  : QStringLiteral("the connection was lost") + link.lostHint());
    return link.isConnected() ? ExitSilent : ExitDisconnected;
}

int readKeys(CutterConnection& link, const SettingsAccess& settings, const QStringList& keys, const Output& out)
{
    QStringList unanswered;
    if (!link.readBack(settings.readKeys(keys), CutterConnection::ReplyTimeoutMs, &unanswered))
        return connectionProblem(link, out);
    if (!unanswered.isEmpty()) {
        out.error(QStringLiteral("the cutter gave no value for %1").arg(unanswered.join(QLatin1String(", "))));
        return ExitSilent;
    }
    return ExitOk;
}

int printValues(const SettingsAccess& settings, const QStringList& keys, const Output& out)
{
    QJsonObject json;
    for (const QString& key : keys) {
        out.line(QStringLiteral("%1=%2").arg(key, settings.shown(key)));
        json.insert(key, settings.shownJson(key));
    }
    out.result(json);
    return ExitOk;
}

// The values the cutter holds afterwards, then what it did not take, per setting.
int reportWrite(const CutterConnection& link, const SettingsAccess& settings, const QStringList& keys,
                const SettingsReport& report, const Output& out)
{
    if (!report.written || !report.readBack)
        return connectionProblem(link, out);
    if (!report.unanswered.isEmpty()) {
        out.error(QStringLiteral("the cutter gave no value for %1").arg(report.unanswered.join(QLatin1String(", "))));
        return ExitSilent;
    }
    printValues(settings, keys, out);
    QStringList problems;
    for (const QString& owner : report.refused)
        problems << QStringLiteral("the cutter refused %1").arg(owner);
    for (const SettingOutcome& outcome : report.outcomes) {
        if (outcome.result == SettingOutcome::NotApplied)
            problems << QStringLiteral("%1 reads back %2, not %3 as set").arg(outcome.key, outcome.held, outcome.asked);
    }
    for (const QString& problem : problems)
        out.error(problem);
    return problems.isEmpty() ? ExitOk : ExitRefused;
}

} // namespace

int commandInfo(CutterConnection& link, const CommonOptions& options)
{
    const Output out(options.json);
    SettingsAccess settings(link);
    QStringList keys;
    for (const QString& key : link.device()->sysProperty() + link.device()->userProperty()) {
        if (settings.exists(key))
            keys << key;
    }
    const int read = readKeys(link, settings, keys, out);
    if (read != ExitOk)
        return read;
    QJsonObject json;
    for (const QString& key : keys) {
        // A list setting shows its option's caption, as the settings window does.
        const QString caption = settings.caption(key);
        const QString shown =
            caption.isEmpty() ? settings.shown(key) : QStringLiteral("%1 (%2)").arg(caption, settings.shown(key));
        out.line(QStringLiteral("%1 (%2): %3 %4")
                     .arg(settings.label(key).trimmed(), key, shown, settings.unit(key))
                     .trimmed());
        QJsonObject entry{{QStringLiteral("label"), settings.label(key)},
                          {QStringLiteral("value"), settings.shownJson(key)},
                          {QStringLiteral("unit"), settings.unit(key)}};
        if (!caption.isEmpty())
            entry.insert(QStringLiteral("caption"), caption);
        json.insert(key, entry);
    }
    out.result(json);
    return ExitOk;
}

int commandGet(CutterConnection& link, const CommonOptions& options, const QStringList& keys)
{
    const Output out(options.json);
    SettingsAccess settings(link);
    for (const QString& key : keys) {
        if (!settings.exists(key)) {
            out.error(QStringLiteral("unknown setting \"%1\" (known: %2)")
                          .arg(key, settings.knownKeys().join(QLatin1String(", "))));
            return ExitUsage;
        }
    }
    const int read = readKeys(link, settings, keys, out);
    return read == ExitOk ? printValues(settings, keys, out) : read;
}

int commandSet(CutterConnection& link, const CommonOptions& options, const QStringList& assignments)
{
    const Output out(options.json);
    SettingsAccess settings(link);
    QList<QPair<QString, QVariant>> values;
    QStringList keys;
    // Every value is checked before anything is sent.
    for (const QString& assignment : assignments) {
        const int eq = assignment.indexOf(QLatin1Char('='));
        QString error;
        if (eq <= 0) {
            out.error(QStringLiteral("\"%1\" is not KEY=VALUE").arg(assignment));
            return ExitUsage;
        }
        if (!settings.parse(assignment.left(eq), assignment.mid(eq + 1), &values, &error)) {
            out.error(error);
            return ExitUsage;
        }
        keys << assignment.left(eq);
    }
    for (const auto& value : values)
        link.property(value.first)->setValue(value.second);
    const SettingsReport report = SettingsWriter(link, settings).write(keys);
    return reportWrite(link, settings, keys, report, out);
}

int commandMove(CutterConnection& link, const CommonOptions& options, const QStringList& arguments)
{
    const Output out(options.json);
    bool okX = false, okY = false;
    const int x = arguments.value(0).toInt(&okX);
    const int y = arguments.value(1).toInt(&okY);
    // The driver sends 80 steps per unit in a signed 32-bit number.
    const int limit = 1000000;
    if (arguments.size() != 2 || !okX || !okY || qAbs(x) > limit || qAbs(y) > limit) {
        out.error(QStringLiteral("move takes two whole numbers X Y from -%1 to %1").arg(limit));
        return ExitUsage;
    }
    link.device()->move(x, y);
    if (!link.barrier(CutterConnection::ReplyTimeoutMs)) {
        out.error(QStringLiteral("the cutter did not answer within %1 s").arg(CutterConnection::ReplyTimeoutMs / 1000));
        return ExitSilent;
    }
    out.line(QStringLiteral("moved by %1, %2").arg(x).arg(y));
    out.result(QJsonObject{{QStringLiteral("x"), x}, {QStringLiteral("y"), y}});
    return ExitOk;
}
