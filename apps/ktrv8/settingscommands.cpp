#include "commands.h"
#include "devicelink.h"
#include "settingsaccess.h"

#include "ktdeviceproperty.h"

#include <QJsonObject>
#include <QMap>

namespace {

int readKeys(DeviceLink& link, const SettingsAccess& settings, const QStringList& keys, const Output& out)
{
    QStringList unanswered;
    if (!link.readBack(settings.readKeys(keys), DeviceLink::ReplyTimeoutMs, &unanswered)) {
        if (!link.isConnected()) {
            out.error(QStringLiteral("the connection was lost"));
            return ExitDisconnected;
        }
        out.error(QStringLiteral("the cutter did not answer within %1 s").arg(DeviceLink::ReplyTimeoutMs / 1000));
        return ExitSilent;
    }
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

} // namespace

int commandInfo(DeviceLink& link, const CommonOptions& options)
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

int commandGet(DeviceLink& link, const CommonOptions& options, const QStringList& keys)
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

int commandSet(DeviceLink& link, const CommonOptions& options, const QStringList& assignments)
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
    QStringList leaves;
    QMap<QString, QString> expected;
    for (const auto& value : values) {
        link.property(value.first)->setValue(value.second);
        leaves << value.first;
        expected.insert(value.first, settings.shown(value.first));
    }
    const QList<QByteArray> frames = settings.writeFrames(leaves);
    for (const QByteArray& frame : frames)
        link.send(frame);
    // Results of the writes come before the read-back's answers.
    if (!link.barrier(DeviceLink::ReplyTimeoutMs)) {
        out.error(link.isConnected()
                      ? QStringLiteral("the cutter did not answer within %1 s").arg(DeviceLink::ReplyTimeoutMs / 1000)
                      : QStringLiteral("the connection was lost"));
        return link.isConnected() ? ExitSilent : ExitDisconnected;
    }
    const QStringList refused = settings.refusedWrites(leaves);
    // Read back what the cutter now holds.
    const int read = readKeys(link, settings, keys, out);
    if (read != ExitOk)
        return read;
    printValues(settings, keys, out);
    QStringList problems;
    for (const QString& owner : refused)
        problems << QStringLiteral("the cutter refused %1").arg(owner);
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const bool toldRefused = refused.contains(it.key()) || refused.contains(settings.groupOf(it.key()));
        if (!toldRefused && settings.shown(it.key()) != it.value())
            problems << QStringLiteral("%1 reads back %2, not %3 as set")
                            .arg(it.key(), settings.shown(it.key()), it.value());
    }
    for (const QString& problem : problems)
        out.error(problem);
    return problems.isEmpty() ? ExitOk : ExitRefused;
}

int commandMove(DeviceLink& link, const CommonOptions& options, const QStringList& arguments)
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
    if (!link.barrier(DeviceLink::ReplyTimeoutMs)) {
        out.error(QStringLiteral("the cutter did not answer within %1 s").arg(DeviceLink::ReplyTimeoutMs / 1000));
        return ExitSilent;
    }
    out.line(QStringLiteral("moved by %1, %2").arg(x).arg(y));
    out.result(QJsonObject{{QStringLiteral("x"), x}, {QStringLiteral("y"), y}});
    return ExitOk;
}
