#include "svgtextshape.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QRawFont>
#include <QRegularExpression>
#include <QTextLayout>
#include <QtEndian>

namespace ktconv {
namespace {

// Glyphs are taken at a large size, unhinted, and scaled down: outlines at the drawing's
// size would be rounded to whole pixels.
constexpr int ReferencePx = 1000;

QStringList familyList(const QString& text, QFont::StyleHint* hint)
{
    static const QHash<QString, QFont::StyleHint> generic{
        {QStringLiteral("serif"), QFont::Serif},         {QStringLiteral("sans-serif"), QFont::SansSerif},
        {QStringLiteral("monospace"), QFont::Monospace}, {QStringLiteral("cursive"), QFont::Cursive},
        {QStringLiteral("fantasy"), QFont::Fantasy},     {QStringLiteral("system-ui"), QFont::SansSerif}};
    QStringList families;
    *hint = QFont::AnyStyle;
    for (QString family : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        family = family.trimmed();
        family.remove(QLatin1Char('"'));
        family.remove(QLatin1Char('\''));
        if (generic.contains(family.toLower()) && *hint == QFont::AnyStyle)
            *hint = generic.value(family.toLower());
        if (!family.isEmpty())
            families << family;
    }
    if (families.isEmpty())
        families << QStringLiteral("sans-serif");
    return families;
}

int qtWeight(const QString& text)
{
    if (text == QLatin1String("bold") || text == QLatin1String("bolder"))
        return QFont::Bold;
    if (text == QLatin1String("lighter"))
        return QFont::Light;
    const int css = text.toInt();
    if (css <= 0)
        return QFont::Normal;
    static const int weights[] = {QFont::Thin,     QFont::ExtraLight, QFont::Light,     QFont::Normal, QFont::Medium,
                                  QFont::DemiBold, QFont::Bold,       QFont::ExtraBold, QFont::Black};
    return weights[qBound(0, (css + 50) / 100 - 1, 8)];
}

int qtStretch(const QString& text)
{
    static const QHash<QString, int> stretches{
        {QStringLiteral("ultra-condensed"), 50}, {QStringLiteral("extra-condensed"), 62},
        {QStringLiteral("condensed"), 75},       {QStringLiteral("semi-condensed"), 87},
        {QStringLiteral("semi-expanded"), 112},  {QStringLiteral("expanded"), 125},
        {QStringLiteral("extra-expanded"), 150}, {QStringLiteral("ultra-expanded"), 200}};
    return stretches.value(text, 100);
}

bool shows(const QString& paint, const QString& opacity)
{
    return paint != QLatin1String("none") && !paint.isEmpty() && opacityValue(opacity) > 0;
}

} // namespace

TextStyle textStyle(const StyleMap& computed)
{
    TextStyle style;
    style.size = fontSizeInUserUnits(computed.value(QStringLiteral("font-size")), 16);
    QFont::StyleHint hint;
    style.familyAsked = computed.value(QStringLiteral("font-family"), QStringLiteral("sans-serif"));
    const QStringList families = familyList(style.familyAsked, &hint);
    style.font.setFamily(families.first());
    style.font.setFamilies(families);
    style.font.setStyleHint(hint, QFont::StyleStrategy(QFont::PreferOutline | QFont::ForceOutline));
    style.font.setHintingPreference(QFont::PreferNoHinting);
    style.font.setPixelSize(ReferencePx);
    style.font.setWeight(qtWeight(computed.value(QStringLiteral("font-weight"))));
    const QString italic = computed.value(QStringLiteral("font-style"));
    style.font.setStyle(italic == QLatin1String("italic")    ? QFont::StyleItalic
                        : italic == QLatin1String("oblique") ? QFont::StyleOblique
                                                             : QFont::StyleNormal);
    style.font.setStretch(qtStretch(computed.value(QStringLiteral("font-stretch"))));
    const double toReference = style.size > 0 ? ReferencePx / style.size : 1;
    double spacing = 0;
    if (lengthInUserUnits(computed.value(QStringLiteral("letter-spacing")), style.size, 0, &spacing))
        style.font.setLetterSpacing(QFont::AbsoluteSpacing, spacing * toReference);
    if (lengthInUserUnits(computed.value(QStringLiteral("word-spacing")), style.size, 0, &spacing))
        style.font.setWordSpacing(spacing * toReference);
    style.fill = computed.value(QStringLiteral("fill"), QStringLiteral("black"));
    style.stroke = computed.value(QStringLiteral("stroke"), QStringLiteral("none"));
    const QString visibility = computed.value(QStringLiteral("visibility"));
    style.visible = (shows(style.fill, computed.value(QStringLiteral("fill-opacity")))
                     || shows(style.stroke, computed.value(QStringLiteral("stroke-opacity"))))
                    && visibility != QLatin1String("hidden") && visibility != QLatin1String("collapse");
    style.anchor = computed.value(QStringLiteral("text-anchor"), QStringLiteral("start"));
    style.align = computed.value(QStringLiteral("text-align"));
    style.rtl = computed.value(QStringLiteral("direction")) == QLatin1String("rtl");
    if (!lengthInUserUnits(computed.value(QStringLiteral("text-indent")), style.size, 0, &style.indent))
        style.indent = 0;
    const QString lineHeight = computed.value(QStringLiteral("line-height"), QStringLiteral("normal"));
    bool plain = false;
    const double factor = lineHeight.toDouble(&plain);
    if (plain)
        style.lineHeight = factor * style.size;
    else if (!lengthInUserUnits(lineHeight, style.size, style.size, &style.lineHeight))
        style.lineHeight = 1.25 * style.size;
    const QString shift = computed.value(QStringLiteral("baseline-shift"));
    if (shift == QLatin1String("super"))
        style.baselineShift = 0.33 * style.size;
    else if (shift == QLatin1String("sub"))
        style.baselineShift = -0.2 * style.size;
    else if (!lengthInUserUnits(shift, style.size, style.size, &style.baselineShift))
        style.baselineShift = 0;
    return style;
}

namespace {

// The run laid out as one unbroken line; its advance in user units.
double layOutLine(QTextLayout* layout, const TextStyle& style)
{
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setFlags(QTextOption::IncludeTrailingSpaces); // a run may end in a space
    layout->setTextOption(option);
    layout->beginLayout();
    QTextLine line = layout->createLine();
    line.setLineWidth(1e9);
    layout->endLayout();
    return line.isValid() ? line.horizontalAdvance() * style.size / ReferencePx : 0;
}

} // namespace

double runAdvance(const QString& text, const TextStyle& style)
{
    QTextLayout layout(text, style.font);
    return layOutLine(&layout, style);
}

QVector<Glyph> shapeRun(const QString& text, const TextStyle& style, double* advance)
{
    const double scale = style.size / ReferencePx;
    QTextLayout layout(text, style.font);
    *advance = layOutLine(&layout, style);
    QVector<Glyph> glyphs;
    const QList<QGlyphRun> runs = layout.glyphRuns();
    for (const QGlyphRun& run : runs) {
        const QRawFont font = run.rawFont();
        const QVector<quint32> indexes = run.glyphIndexes();
        const QVector<QPointF> positions = run.positions();
        const QVector<QPointF> advances = font.advancesForGlyphIndexes(indexes);
        for (int i = 0; i < indexes.size(); ++i) {
            if (indexes[i] == 0)
                continue; // never the font's box for a missing character
            Glyph glyph;
            glyph.outline = QTransform::fromScale(scale, scale).map(font.pathForGlyph(indexes[i]));
            glyph.x = positions[i].x() * scale;
            glyph.advance = advances.value(i).x() * scale;
            glyphs << glyph;
        }
    }
    return glyphs;
}

QString missingCharacters(const QString& text, const TextStyle& style)
{
    static thread_local QHash<QString, bool> known;
    QString missing;
    const QVector<uint> codes = text.toUcs4();
    for (uint code : codes) {
        const QString character = QString::fromUcs4(&code, 1);
        if (QChar::isSpace(code) || QChar::category(code) == QChar::Other_Control || missing.contains(character))
            continue;
        const QString key = style.font.key() + character;
        if (!known.contains(key)) {
            QTextLayout layout(character, style.font);
            layout.beginLayout();
            layout.createLine();
            layout.endLayout();
            bool drawn = true;
            for (const QGlyphRun& run : layout.glyphRuns())
                drawn = drawn && !run.glyphIndexes().contains(0);
            known.insert(key, drawn);
        }
        if (!known.value(key))
            missing += character;
    }
    return missing;
}

QString MissingGlyph::code() const
{
    return QStringLiteral("U+%1").arg(
        QString::number(character.toUcs4().value(0), 16).toUpper().rightJustified(4, QLatin1Char('0')));
}

QString MissingGlyph::describe() const
{
    return QStringLiteral("\"%1\" (%2) in %3: no installed font has it (asked: %4)")
        .arg(character, code(), place, family);
}

namespace {
const QLatin1String RefusalEnd(" no installed font has; nothing is cut");
}

QString missingGlyphsRefusal(const QVector<MissingGlyph>& missing)
{
    QStringList lines;
    for (const MissingGlyph& glyph : missing)
        lines << glyph.describe();
    lines << QStringLiteral("%1 character(s)%2").arg(missing.size()).arg(RefusalEnd);
    return lines.join(QLatin1Char('\n'));
}

bool refusedForMissingGlyphs(const QString& error)
{
    return error.endsWith(RefusalEnd);
}

double fontAscent(const TextStyle& style)
{
    // The typographic ascender, which with the descender spans the em box the line-height
    // is laid around; the font's overall ascent when it has no OS/2 table.
    const QRawFont font = QRawFont::fromFont(style.font);
    const QByteArray os2 = font.fontTable("OS/2");
    if (os2.size() >= 70 && font.unitsPerEm() > 0)
        return qFromBigEndian<qint16>(os2.constData() + 68) / font.unitsPerEm() * style.size;
    return QFontMetricsF(style.font).ascent() * style.size / ReferencePx;
}

} // namespace ktconv
