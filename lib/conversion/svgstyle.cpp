#include "svgstyle.h"

#include <QDomElement>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace ktconv {
namespace {

const QSet<QString>& presentationAttributes()
{
    static const QSet<QString> names{
        QStringLiteral("fill"),           QStringLiteral("fill-opacity"),   QStringLiteral("fill-rule"),
        QStringLiteral("stroke"),         QStringLiteral("stroke-opacity"), QStringLiteral("stroke-width"),
        QStringLiteral("opacity"),        QStringLiteral("display"),        QStringLiteral("visibility"),
        QStringLiteral("font-family"),    QStringLiteral("font-size"),      QStringLiteral("font-weight"),
        QStringLiteral("font-style"),     QStringLiteral("font-stretch"),   QStringLiteral("text-anchor"),
        QStringLiteral("letter-spacing"), QStringLiteral("word-spacing"),   QStringLiteral("clip-path"),
        QStringLiteral("mask"),           QStringLiteral("marker-start"),   QStringLiteral("marker-mid"),
        QStringLiteral("marker-end"),     QStringLiteral("baseline-shift"), QStringLiteral("direction"),
        QStringLiteral("color"),          QStringLiteral("line-height"),    QStringLiteral("filter"),
        QStringLiteral("shape-inside"),   QStringLiteral("inline-size"),    QStringLiteral("xml:space"),
        QStringLiteral("white-space")};
    return names;
}

// The font shorthand: [style] [weight] size[/line-height] family-list.
void expandFontShorthand(StyleMap* style)
{
    const QString font = style->take(QStringLiteral("font")).trimmed();
    static const QRegularExpression pattern(
        QStringLiteral("^((?:(?:italic|oblique|normal|bold|bolder|lighter|\\d00|small-caps|condensed|expanded)\\s+)*)"
                       "(\\S+?)(?:/(\\S+))?\\s+(.+)$"));
    const QRegularExpressionMatch match = pattern.match(font);
    if (!match.hasMatch())
        return;
    const QStringList words = match.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& word : words) {
        if (word == QLatin1String("italic") || word == QLatin1String("oblique"))
            style->insert(QStringLiteral("font-style"), word);
        else if (word.at(0).isDigit() || word.startsWith(QLatin1String("bold")) || word == QLatin1String("lighter"))
            style->insert(QStringLiteral("font-weight"), word);
        else if (word.endsWith(QLatin1String("ed")))
            style->insert(QStringLiteral("font-stretch"), word);
    }
    style->insert(QStringLiteral("font-size"), match.captured(2));
    if (!match.captured(3).isEmpty())
        style->insert(QStringLiteral("line-height"), match.captured(3));
    style->insert(QStringLiteral("font-family"), match.captured(4));
}

} // namespace

StyleMap parseDeclarations(const QString& text)
{
    StyleMap style;
    const QVector<QStringRef> declarations = text.splitRef(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QStringRef& declaration : declarations) {
        const int colon = declaration.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            continue;
        QString value = declaration.mid(colon + 1).trimmed().toString();
        if (value.endsWith(QLatin1String("!important"))) {
            value.chop(int(qstrlen("!important")));
            while (!value.isEmpty() && value.back().isSpace())
                value.chop(1);
        }
        style.insert(declaration.left(colon).trimmed().toString().toLower(), value);
    }
    if (style.contains(QStringLiteral("font")))
        expandFontShorthand(&style);
    return style;
}

void StyleSheet::add(const QString& css)
{
    QString text = css;
    static const QRegularExpression comment(QStringLiteral("/\\*.*?\\*/"),
                                            QRegularExpression::DotMatchesEverythingOption);
    text.remove(comment);
    static const QRegularExpression rule(QStringLiteral("([^{}]+)\\{([^}]*)\\}"));
    static const QRegularExpression compound(QStringLiteral("^([A-Za-z][\\w-]*|\\*)?((?:[.#][\\w-]+)*)$"));
    static const QRegularExpression part(QStringLiteral("([.#])([\\w-]+)"));
    for (auto it = rule.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch found = it.next();
        const StyleMap declarations = parseDeclarations(found.captured(2));
        for (const QString& selector : found.captured(1).split(QLatin1Char(','))) {
            const QRegularExpressionMatch m = compound.match(selector.trimmed());
            if (!m.hasMatch() || selector.trimmed().isEmpty())
                continue;
            Rule r;
            r.type = m.captured(1) == QLatin1String("*") ? QString() : m.captured(1);
            r.specificity = r.type.isEmpty() ? 0 : 1;
            for (auto p = part.globalMatch(m.captured(2)); p.hasNext();) {
                const QRegularExpressionMatch pm = p.next();
                if (pm.captured(1) == QLatin1String("#")) {
                    r.id = pm.captured(2);
                    r.specificity += 10000;
                } else {
                    r.classes << pm.captured(2);
                    r.specificity += 100;
                }
            }
            r.order = rules.size();
            r.declarations = declarations;
            rules << r;
        }
    }
    std::stable_sort(rules.begin(), rules.end(),
                     [](const Rule& a, const Rule& b) { return a.specificity < b.specificity; });
}

StyleMap StyleSheet::match(const QDomElement& element) const
{
    StyleMap style;
    if (rules.isEmpty())
        return style;
    const QStringList classes =
        element.attribute(QStringLiteral("class")).simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString id = element.attribute(QStringLiteral("id"));
    for (const Rule& r : rules) {
        if (!r.type.isEmpty() && r.type != element.localName() && r.type != element.tagName())
            continue;
        if (!r.id.isEmpty() && r.id != id)
            continue;
        if (!std::all_of(r.classes.begin(), r.classes.end(), [&](const QString& c) { return classes.contains(c); }))
            continue;
        for (auto it = r.declarations.begin(); it != r.declarations.end(); ++it)
            style.insert(it.key(), it.value());
    }
    return style;
}

StyleMap specifiedStyle(const QDomElement& element, const StyleSheet& sheet)
{
    StyleMap style;
    const QDomNamedNodeMap attributes = element.attributes();
    for (int i = 0; i < attributes.count(); ++i) {
        // A namespace-aware parser names xml:space "space" with the prefix "xml"; attributes
        // of other namespaces are never presentation attributes.
        const QDomAttr attribute = attributes.item(i).toAttr();
        const QString prefix = attribute.prefix();
        const QString name = prefix == QLatin1String("xml") ? QStringLiteral("xml:") + attribute.name()
                             : prefix.isEmpty()             ? attribute.name()
                                                            : QString();
        if (presentationAttributes().contains(name))
            style.insert(name, attribute.value().trimmed());
    }
    const StyleMap fromSheet = sheet.match(element);
    for (auto it = fromSheet.begin(); it != fromSheet.end(); ++it)
        style.insert(it.key(), it.value());
    const StyleMap own = parseDeclarations(element.attribute(QStringLiteral("style")));
    for (auto it = own.begin(); it != own.end(); ++it)
        style.insert(it.key(), it.value());
    return style;
}

bool isPresentationAttribute(const QString& name)
{
    return presentationAttributes().contains(name);
}

bool isInheritedProperty(const QString& name)
{
    static const QSet<QString> notInherited{
        QStringLiteral("display"),      QStringLiteral("opacity"),     QStringLiteral("clip-path"),
        QStringLiteral("mask"),         QStringLiteral("filter"),      QStringLiteral("baseline-shift"),
        QStringLiteral("shape-inside"), QStringLiteral("inline-size"), QStringLiteral("transform")};
    return !notInherited.contains(name);
}

bool lengthInUserUnits(const QString& text, double fontSize, double percentBase, double* value)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^\\s*([-+]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][-+]?\\d+)?)\\s*(px|mm|cm|in|pt|pc|q|em|ex|%)?\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text.toLower());
    if (!match.hasMatch())
        return false;
    const double number = match.captured(1).toDouble();
    static const QHash<QString, double> perUnit{{QString(), 1},
                                                {QStringLiteral("px"), 1},
                                                {QStringLiteral("in"), 96},
                                                {QStringLiteral("mm"), 96 / 25.4},
                                                {QStringLiteral("cm"), 96 / 2.54},
                                                {QStringLiteral("q"), 96 / 101.6},
                                                {QStringLiteral("pt"), 96.0 / 72},
                                                {QStringLiteral("pc"), 16}};
    const QString unit = match.captured(2);
    if (unit == QLatin1String("em"))
        *value = number * fontSize;
    else if (unit == QLatin1String("ex"))
        *value = number * fontSize / 2;
    else if (unit == QLatin1String("%"))
        *value = number * percentBase / 100;
    else
        *value = number * perUnit.value(unit);
    return true;
}

double fontSizeInUserUnits(const QString& text, double parentSize)
{
    static const QHash<QString, double> keywords{{QStringLiteral("xx-small"), 9}, {QStringLiteral("x-small"), 10},
                                                 {QStringLiteral("small"), 13},   {QStringLiteral("medium"), 16},
                                                 {QStringLiteral("large"), 18},   {QStringLiteral("x-large"), 24},
                                                 {QStringLiteral("xx-large"), 32}};
    const QString key = text.trimmed().toLower();
    // Most elements set no size of their own: the parent's, without parsing a length.
    if (key.isEmpty())
        return parentSize;
    // Relative to the parent's size, which differs from call to call.
    if (key == QLatin1String("larger"))
        return parentSize * 1.2;
    if (key == QLatin1String("smaller"))
        return parentSize / 1.2;
    if (keywords.contains(key))
        return keywords.value(key);
    double size = 0;
    if (lengthInUserUnits(key, parentSize, parentSize, &size) && size >= 0)
        return size;
    return parentSize;
}

double opacityValue(const QString& text)
{
    const QString value = text.trimmed();
    bool ok = false;
    double number = value.endsWith(QLatin1Char('%')) ? value.chopped(1).toDouble(&ok) / 100 : value.toDouble(&ok);
    return ok ? std::clamp(number, 0.0, 1.0) : 1.0;
}

} // namespace ktconv
