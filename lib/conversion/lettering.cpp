#include "lettering.h"

#include "svgpathdata.h"
#include "svgtextshape.h"
#include "weld.h"

#include <QFontInfo>
#include <QFontMetricsF>

namespace ktconv {
namespace {

TextStyle letteringStyle(const LetteringOptions& options, double size)
{
    StyleMap computed;
    computed.insert(QStringLiteral("font-family"), options.family);
    computed.insert(QStringLiteral("font-weight"), options.bold ? QStringLiteral("bold") : QStringLiteral("normal"));
    computed.insert(QStringLiteral("font-style"), options.italic ? QStringLiteral("italic") : QStringLiteral("normal"));
    computed.insert(QStringLiteral("font-size"), QString::number(size, 'g', 12));
    computed.insert(QStringLiteral("letter-spacing"), QString::number(options.letterSpacingMm, 'g', 12));
    return textStyle(computed);
}

// The font size, in millimetres, whose capitals are as tall as asked. The font's own cap
// height where it states one, else measured on an "H".
double sizeForCapHeight(const LetteringOptions& options)
{
    const TextStyle reference = letteringStyle(options, 100);
    const QFontMetricsF metrics(reference.font);
    double cap = metrics.capHeight();
    if (cap <= 0)
        cap = metrics.tightBoundingRect(QStringLiteral("H")).height();
    const double refPx = reference.font.pixelSize();
    return cap > 0 ? options.capHeightMm * refPx / cap : options.capHeightMm;
}

void noteMissing(const QString& line, int lineNumber, const TextStyle& style, QVector<MissingGlyph>* missing)
{
    const QVector<uint> codes = missingCharacters(line, style).toUcs4();
    for (uint code : codes) {
        const QString character = QString::fromUcs4(&code, 1);
        const int column = line.indexOf(character) + 1;
        missing->append(
            {character, QStringLiteral("line %1, column %2").arg(lineNumber).arg(column), style.familyAsked});
    }
}

QList<QPainterPath> splitOutlines(const QPainterPath& path)
{
    QList<QPainterPath> outlines;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            outlines << QPainterPath(e);
        } else if (e.isLineTo()) {
            outlines.last().lineTo(e);
        } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            outlines.last().cubicTo(e, path.elementAt(i + 1), path.elementAt(i + 2));
            i += 2;
        }
    }
    return outlines;
}

} // namespace

bool layOutLettering(const QStringList& lines, const LetteringOptions& options, Lettering* result, QString* error)
{
    const double size = sizeForCapHeight(options);
    const TextStyle style = letteringStyle(options, size);
    const double toMm = size / style.font.pixelSize();
    const double pitch = QFontMetricsF(style.font).lineSpacing() * toMm * options.lineSpacing;
    result->familyUsed = QFontInfo(style.font).family();
    QVector<QPainterPath> shaped;
    QVector<double> advances;
    double widest = 0;
    for (int i = 0; i < lines.size(); ++i) {
        noteMissing(lines[i], i + 1, style, &result->missing);
        double advance = 0;
        QPainterPath line;
        for (const Glyph& glyph : shapeRun(lines[i], style, &advance))
            line.addPath(glyph.outline.translated(glyph.x, 0));
        // Letter spacing follows every letter, the last one too: it is no part of the line.
        if (!lines[i].isEmpty())
            advance -= options.letterSpacingMm;
        shaped << line;
        advances << advance;
        widest = qMax(widest, advance);
    }
    QPainterPath all;
    all.setFillRule(Qt::WindingFill);
    for (int i = 0; i < shaped.size(); ++i) {
        const double room = widest - advances[i];
        const double x = options.align & Qt::AlignRight ? room : options.align & Qt::AlignHCenter ? room / 2 : 0;
        all.addPath(shaped[i].translated(x, i * pitch));
    }
    if (all.isEmpty()) {
        *error = QStringLiteral("the text has nothing to cut");
        return false;
    }
    if (options.weld)
        all = weldOutlines(all);
    const QRectF box = all.boundingRect();
    result->outline = all.translated(-box.topLeft());
    result->widthMm = box.width();
    result->heightMm = box.height();
    return true;
}

QByteArray letteringDrawing(const Lettering& lettering)
{
    const QString w = QString::number(lettering.widthMm, 'f', 4);
    const QString h = QString::number(lettering.heightMm, 'f', 4);
    // One element per outline: only outlines are cut, and the SVG reader gives up on path
    // data as long as a welded line of script.
    QString paths;
    for (const QPainterPath& outline : splitOutlines(lettering.outline))
        paths += QStringLiteral("<path d=\"%1\"/>\n").arg(pathData(outline));
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1mm\" height=\"%2mm\" "
                          "viewBox=\"0 0 %1 %2\">\n%3</svg>\n")
        .arg(w, h, paths)
        .toUtf8();
}

int outlineCount(const QPainterPath& path)
{
    int count = 0;
    for (int i = 0; i < path.elementCount(); ++i)
        count += path.elementAt(i).isMoveTo() ? 1 : 0;
    return count;
}

} // namespace ktconv
