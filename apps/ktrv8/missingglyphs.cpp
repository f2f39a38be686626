#include "missingglyphs.h"

#include "output.h"

#include <QJsonArray>
#include <QStringList>

int refuseMissingGlyphs(const Output& out, const QString& prefix, const QString& refusal)
{
    QStringList characters = refusal.split(QLatin1Char('\n'));
    const QString count = characters.takeLast();
    for (const QString& character : qAsConst(characters))
        out.error(prefix + character);
    out.errorFields({{QStringLiteral("missing"), QJsonArray::fromStringList(characters)}});
    out.error(QStringLiteral("%1%2 (--allow-missing-glyphs cuts the rest)").arg(prefix, count));
    return ExitUsage;
}
