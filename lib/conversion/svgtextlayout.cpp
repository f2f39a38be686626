#include "svgpathdata.h"
#include "svgtext.h"

#include <QDomDocument>
#include <QMap>

#include <algorithm>

namespace ktconv {
namespace {

// A glyph on its line: x runs along the line (along the path for text on a path), y is the
// baseline (the offset across the path).
struct Placed
{
    QPainterPath outline;
    double x = 0, y = 0, advance = 0, rotate = NAN;
    int style = 0, path = -1;
};

// Lays the characters out in text chunks: a chunk starts at each absolutely placed
// character and at each path, and its text-anchor moves it as a whole.
class LineLayout
{
public:
    explicit LineLayout(const TextBlock& block) : block(block) {}
    QVector<Placed> glyphs;
    QMap<QString, QString> missing; // character -> family asked

    void run()
    {
        const QVector<TextChar>& chars = block.chars;
        for (int i = 0; i < chars.size();) {
            const TextChar& c = chars[i];
            if (c.character == QLatin1String("\n")) {
                ++i;
                continue;
            }
            if (c.positioned() || c.path != path || i == 0)
                startChunk(c);
            int j = i + 1;
            while (j < chars.size() && !chars[j].adjusted() && chars[j].turn() == c.turn() && chars[j].style == c.style
                   && chars[j].path == c.path && chars[j].character != QLatin1String("\n"))
                ++j;
            place(i, j);
            i = j;
        }
        finishChunk();
    }

private:
    void startChunk(const TextChar& c)
    {
        finishChunk();
        if (c.path != path) {
            path = c.path;
            if (path >= 0)
                pen = QPointF(block.paths[path].startOffset, 0);
        }
        if (!std::isnan(c.x))
            pen.rx() = c.x;
        if (!std::isnan(c.y) && c.path < 0) // on a path, x runs along it and y means nothing
            pen.ry() = c.y;
        chunkStart = glyphs.size();
        chunkX = pen.x();
        anchor = block.styles[c.style].anchor;
    }
    void finishChunk()
    {
        const double extent = pen.x() - chunkX;
        const double shift = anchor == QLatin1String("middle") ? -extent / 2
                             : anchor == QLatin1String("end")  ? -extent
                                                               : 0;
        for (int k = chunkStart; k < glyphs.size(); ++k)
            glyphs[k].x += shift;
        chunkStart = glyphs.size();
        chunkX = pen.x();
    }
    void place(int from, int to)
    {
        const TextChar& first = block.chars[from];
        const TextStyle& style = block.styles[first.style];
        pen += QPointF(std::isnan(first.dx) ? 0 : first.dx, std::isnan(first.dy) ? 0 : first.dy);
        QString text;
        for (int k = from; k < to; ++k)
            text += block.chars[k].character;
        const QString lacking = missingCharacters(text, style);
        for (const QString& character : splitCodePoints(lacking)) {
            missing.insert(character, style.familyAsked);
            text.remove(character);
        }
        double advance = 0;
        const QVector<Glyph> shaped = shapeRun(text, style, &advance);
        for (const Glyph& glyph : shaped) {
            Placed p;
            p.outline = glyph.outline;
            p.x = pen.x() + glyph.x;
            p.y = pen.y() - style.baselineShift;
            p.advance = glyph.advance;
            p.rotate = first.rotate;
            p.style = first.style;
            p.path = first.path;
            glyphs << p;
        }
        pen.rx() += advance;
    }
    static QStringList splitCodePoints(const QString& text)
    {
        QStringList list;
        for (uint code : text.toUcs4())
            list << QString::fromUcs4(&code, 1);
        return list;
    }

    const TextBlock& block;
    QPointF pen;
    int path = -1;
    int chunkStart = 0;
    double chunkX = 0;
    QString anchor;
};

// Each glyph's outline in the text element's user space, gathered per style.
QMap<int, QPainterPath> outlinesByStyle(const TextBlock& block, const QVector<Placed>& glyphs)
{
    QMap<int, QPainterPath> outlines;
    for (const Placed& p : glyphs) {
        if (!block.styles[p.style].visible)
            continue;
        QTransform t;
        if (p.path < 0) {
            t.translate(p.x, p.y);
        } else {
            // Each glyph turns to the path's direction at the middle of its advance; one
            // whose middle is off the path is not drawn.
            const QPainterPath& path = block.paths[p.path].path;
            const double middle = p.x + p.advance / 2;
            if (path.isEmpty() || middle < 0 || middle > path.length())
                continue;
            const qreal percent = path.percentAtLength(middle);
            t.translate(path.pointAtPercent(percent).x(), path.pointAtPercent(percent).y());
            t.rotate(-path.angleAtPercent(percent));
            t.translate(-p.advance / 2, p.y);
        }
        if (!std::isnan(p.rotate))
            t.rotate(p.rotate);
        outlines[p.style].addPath(t.map(p.outline));
    }
    return outlines;
}

QString excerpt(const TextBlock& block)
{
    QString text;
    for (const TextChar& c : block.chars)
        text += c.character == QLatin1String("\n") ? QStringLiteral(" ") : c.character;
    text = text.simplified();
    return text.size() > 40 ? text.left(37) + QStringLiteral("...") : text;
}

// Each character left out, once per text element, with where the element is: its id, else
// where its first character is placed in its own user units.
void noteMissing(const QDomElement& text, const TextBlock& block, const QMap<QString, QString>& missing,
                 const TextContext& context)
{
    if (!context.missing || missing.isEmpty())
        return;
    QString place = QStringLiteral("the text \"%1\"").arg(excerpt(block));
    const TextChar first = block.chars.value(0);
    if (text.hasAttribute(QStringLiteral("id")))
        place += QStringLiteral(" (id %1)").arg(text.attribute(QStringLiteral("id")));
    else if (first.positioned())
        place +=
            QStringLiteral(" at %1,%2").arg(std::isnan(first.x) ? 0 : first.x).arg(std::isnan(first.y) ? 0 : first.y);
    for (auto it = missing.begin(); it != missing.end(); ++it)
        context.missing->append({it.key(), place, it.value()});
}

QPainterPath rectangle(const QRectF& box)
{
    QPainterPath path;
    path.addRect(box);
    return path;
}

// The frames flowed text fills in turn: each region of a flowRoot, or the shape its
// shape-inside names, each its shape's outline.
QVector<QPainterPath> framesOf(const QDomElement& text, const TextContext& context)
{
    QVector<QPainterPath> frames;
    if (text.localName() == QLatin1String("flowRoot") || text.tagName() == QLatin1String("flowRoot")) {
        QPainterPath excluded; // what a flowRegionExclude takes out of every region
        for (QDomElement region = text.firstChildElement(); !region.isNull(); region = region.nextSiblingElement()) {
            const QString name = region.localName().isEmpty() ? region.tagName() : region.localName();
            for (QDomElement shape = region.firstChildElement(); !shape.isNull(); shape = shape.nextSiblingElement()) {
                if (name == QLatin1String("flowRegion"))
                    frames << shapeOutline(shape);
                else if (name == QLatin1String("flowRegionExclude"))
                    excluded.addPath(shapeOutline(shape));
            }
        }
        for (QPainterPath& frame : frames)
            frame = excluded.isEmpty() ? frame : frame.subtracted(excluded);
        return frames;
    }
    const StyleMap style = parseDeclarations(text.attribute(QStringLiteral("style")));
    const QString inside = style.value(QStringLiteral("shape-inside"));
    if (inside.startsWith(QLatin1String("url(#")))
        frames << shapeOutline(context.ids.value(inside.mid(5).chopped(1)));
    double inlineSize = 0;
    if (frames.isEmpty() && lengthInUserUnits(style.value(QStringLiteral("inline-size")), 16, 0, &inlineSize)
        && inlineSize > 0)
        frames << rectangle(QRectF(0, 0, inlineSize, 1e9)); // placed by the caller
    return frames;
}

// The text's own frames, when it has some and its lines are not already placed.
void wrapIfFramed(const QDomElement& text, TextBlock* block, const TextContext& context)
{
    int positioned = 0;
    for (const TextChar& c : block->chars)
        positioned += c.positioned() ? 1 : 0;
    if (positioned > 1 || block->chars.isEmpty())
        return;
    QVector<QPainterPath> frames = framesOf(text, context);
    frames.erase(
        std::remove_if(frames.begin(), frames.end(), [](const QPainterPath& f) { return f.boundingRect().isEmpty(); }),
        frames.end());
    if (frames.isEmpty())
        return;
    const bool inlineSized = frames.first().boundingRect().height() >= 1e9;
    if (inlineSized) { // an inline size runs from the text's own place, as its anchor says
        const TextChar& first = block->chars.first();
        const double x = std::isnan(first.x) ? 0 : first.x, width = frames.first().boundingRect().width();
        const QString anchor = block->styles[first.style].anchor;
        const double left = anchor == QLatin1String("middle") ? x - width / 2
                            : anchor == QLatin1String("end")  ? x - width
                                                              : x;
        frames.first().translate(left, std::isnan(first.y) ? 0 : first.y);
    }
    const TextStyle strut = textStyle(parseDeclarations(text.attribute(QStringLiteral("style"))));
    if (!wrapInFrames(block, frames, !inlineSized, strut) && context.warnings)
        *context.warnings << QStringLiteral("flowed text \"%1\" does not fit its frame; the lines below it are not cut")
                                 .arg(excerpt(*block));
}

} // namespace

void replaceTextWithOutlines(QDomElement text, const TextContext& context)
{
    TextBlock block;
    collectText(text, &block, context);
    wrapIfFramed(text, &block, context);
    LineLayout layout(block);
    layout.run();
    noteMissing(text, block, layout.missing, context);

    QDomDocument document = text.ownerDocument();
    QDomElement group = document.createElement(QStringLiteral("g"));
    for (const QString& name : {QStringLiteral("transform"), QStringLiteral("id")}) {
        if (text.hasAttribute(name))
            group.setAttribute(name, text.attribute(name));
    }
    const QMap<int, QPainterPath> outlines = outlinesByStyle(block, layout.glyphs);
    for (auto it = outlines.begin(); it != outlines.end(); ++it) {
        QDomElement path = document.createElement(QStringLiteral("path"));
        path.setAttribute(QStringLiteral("d"), pathData(it.value()));
        const TextStyle& style = block.styles[it.key()];
        path.setAttribute(QStringLiteral("style"), QStringLiteral("fill:%1;stroke:%2").arg(style.fill, style.stroke));
        group.appendChild(path);
    }
    text.parentNode().replaceChild(group, text);
}

} // namespace ktconv
