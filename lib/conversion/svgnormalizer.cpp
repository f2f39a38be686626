#include "svgnormalizer.h"

#include "svgcascade.h"
#include "svgmarkers.h"
#include "svgnamespaces.h"
#include "svgpathdata.h"
#include "svgstyle.h"
#include "svgtext.h"
#include "svgviewport.h"
#include "svgwriter.h"
#include "weld.h"

#include <QDomDocument>
#include <QXmlSimpleReader>

namespace ktconv {
namespace {

bool isNamed(const QDomElement& element, const QStringList& names)
{
    return names.contains(element.localName()) || names.contains(element.tagName());
}

void collectIds(const QDomElement& element, QHash<QString, QDomElement>* ids)
{
    const QString id = element.attribute(QStringLiteral("id"));
    if (!id.isEmpty() && !ids->contains(id))
        ids->insert(id, element);
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
        collectIds(child, ids);
}

bool paintShows(const StyleMap& style, const QString& paint, const QString& fallback)
{
    const QString value = style.value(paint, fallback);
    return value != QLatin1String("none") && opacityValue(style.value(paint + QStringLiteral("-opacity"))) > 0;
}

// A shape is seen when it is visible and its fill or its stroke shows.
bool shapeShows(const QDomElement& shape, const StyleMap& style)
{
    const QString visibility = style.value(QStringLiteral("visibility"));
    if (visibility == QLatin1String("hidden") || visibility == QLatin1String("collapse"))
        return false;
    double width = 1;
    if (!lengthInUserUnits(style.value(QStringLiteral("stroke-width"), QStringLiteral("1")), 16, 0, &width))
        width = 1;
    const bool stroke = paintShows(style, QStringLiteral("stroke"), QStringLiteral("none")) && width > 0;
    const bool hasArea = !isNamed(shape, {QStringLiteral("line")});
    return stroke || (hasArea && paintShows(style, QStringLiteral("fill"), QStringLiteral("black")));
}

// What a clip path or mask leaves visible of an element, in the element's own user space
// (its transform applied, where SVG places clips); inactive when nothing clips it.
struct Clip
{
    bool active = false;
    QPainterPath region;
};

struct Visibility
{
    QHash<QString, QDomElement> ids;
    TextContext text;
    int masked = 0;
    // The last style read, and whether a shape, a line, of that style shows: siblings
    // mostly share one style.
    QString styleText;
    StyleMap style;
    int shows[2] = {-1, -1};

    StyleMap styleOf(const QDomElement& element)
    {
        const QString text = element.attribute(QStringLiteral("style"));
        if (styleText.isNull() || text != styleText) {
            styleText = text.isNull() ? QStringLiteral("") : text;
            style = parseDeclarations(text);
            shows[0] = shows[1] = -1;
        }
        return style;
    }
    bool showsAsShape(const QDomElement& shape, const StyleMap& own)
    {
        int& known = shows[isNamed(shape, {QStringLiteral("line")}) ? 1 : 0];
        if (known < 0)
            known = shapeShows(shape, own) ? 1 : 0;
        return known == 1;
    }
};

void keepVisible(QDomElement parent, double opacity, const Clip& clip, Visibility* v);

// The transform an element's transform="" sets, read by the same reader as the drawing.
QTransform ownTransform(const QDomElement& element)
{
    QDomElement probe = element.ownerDocument().createElement(QStringLiteral("path"));
    probe.setAttribute(QStringLiteral("d"), QStringLiteral("M0,0 L1,0 L0,1 Z"));
    probe.setAttribute(QStringLiteral("transform"), element.attribute(QStringLiteral("transform")));
    const QPainterPath mapped = shapeOutline(probe);
    if (mapped.elementCount() < 3)
        return QTransform();
    const QPointF o = mapped.elementAt(0), x = mapped.elementAt(1), y = mapped.elementAt(2);
    return QTransform(x.x() - o.x(), x.y() - o.y(), y.x() - o.x(), y.y() - o.y(), o.x(), o.y());
}

// The parent's clip seen from inside a child.
Clip intoChild(const Clip& clip, const QDomElement& child)
{
    Clip inner = clip;
    if (clip.active && child.hasAttribute(QStringLiteral("transform")))
        inner.region = ownTransform(child).inverted().map(clip.region);
    return inner;
}

// A clip path's area, or a mask's taken as the union of its visible shapes (a mask's
// shades of grey are not cut), each in objectBoundingBox units when it says so.
void addOwnClip(const QDomElement& element, const StyleMap& style, Visibility* v, Clip* clip)
{
    for (const QString& property : {QStringLiteral("clip-path"), QStringLiteral("mask")}) {
        const QString reference = style.value(property);
        const QDomElement definition = v->ids.value(reference.mid(5).chopped(1));
        if (!reference.startsWith(QLatin1String("url(#")) || definition.isNull())
            continue;
        QDomElement content = definition.cloneNode(true).toElement();
        content.setTagName(QStringLiteral("g"));
        const bool isMask = property == QLatin1String("mask");
        if (isMask) {
            ++v->masked;
            keepVisible(content, 1, Clip(), v);
        }
        QPainterPath area = shapeOutline(content);
        const QString units =
            definition.attribute(isMask ? QStringLiteral("maskContentUnits") : QStringLiteral("clipPathUnits"));
        if (units == QLatin1String("objectBoundingBox")) {
            QDomElement plain = element.cloneNode(true).toElement();
            plain.removeAttribute(QStringLiteral("transform"));
            const QRectF box = shapeOutline(plain).boundingRect();
            area = QTransform(box.width(), 0, 0, box.height(), box.left(), box.top()).map(area);
        }
        clip->region = clip->active ? clip->region.intersected(area) : area;
        clip->active = true;
    }
}

bool isShape(const QDomElement& element)
{
    static const QStringList shapes{QStringLiteral("path"),    QStringLiteral("rect"), QStringLiteral("circle"),
                                    QStringLiteral("ellipse"), QStringLiteral("line"), QStringLiteral("polyline"),
                                    QStringLiteral("polygon")};
    return isNamed(element, shapes);
}

// A clipped shape is cut where it shows: a filled one as the part of its area inside the
// clip, a stroked one as the parts of its line inside it; nothing when none shows.
void clipShape(QDomElement shape, StyleMap style, const QPainterPath& region)
{
    QDomElement plain = shape.cloneNode(false).toElement();
    plain.removeAttribute(QStringLiteral("transform"));
    const QPainterPath outline = shapeOutline(plain);
    const bool filled =
        !isNamed(shape, {QStringLiteral("line")}) && paintShows(style, QStringLiteral("fill"), QStringLiteral("black"));
    const QPainterPath inside = filled ? outline.intersected(region) : clipLines(outline, region);
    if (inside.isEmpty()) {
        shape.parentNode().removeChild(shape);
        return;
    }
    if (!filled)
        style.insert(QStringLiteral("fill"), QStringLiteral("none"));
    style.remove(QStringLiteral("clip-path"));
    style.remove(QStringLiteral("mask"));
    QDomElement path = shape.ownerDocument().createElement(QStringLiteral("path"));
    path.setAttribute(QStringLiteral("style"), serializeStyle(style));
    path.setAttribute(QStringLiteral("d"), pathData(inside));
    if (shape.hasAttribute(QStringLiteral("transform")))
        path.setAttribute(QStringLiteral("transform"), shape.attribute(QStringLiteral("transform")));
    shape.parentNode().replaceChild(path, shape);
}

// Text becomes a group of outlines in its place; a clip then applies to those.
void replaceText(QDomElement text, const QDomElement& next, double opacity, const Clip& clip, Visibility* v)
{
    QDomNode parent = text.parentNode();
    replaceTextWithOutlines(text, v->text);
    if (!clip.active)
        return;
    QDomElement outlines = next.isNull() ? parent.lastChildElement() : next.previousSiblingElement();
    if (!outlines.isNull())
        keepVisible(outlines, opacity, clip, v);
}

void keepVisible(QDomElement parent, double opacity, const Clip& clip, Visibility* v)
{
    static const QStringList definitions{QStringLiteral("defs"), QStringLiteral("marker"),  QStringLiteral("clipPath"),
                                         QStringLiteral("mask"), QStringLiteral("pattern"), QStringLiteral("metadata")};
    for (QDomElement child = parent.firstChildElement(); !child.isNull();) {
        QDomElement next = child.nextSiblingElement();
        const StyleMap style = v->styleOf(child);
        const double seen = opacity * opacityValue(style.value(QStringLiteral("opacity")));
        if (isNamed(child, definitions)) {
            // drawn only through a reference, never in place
        } else if (style.value(QStringLiteral("display")) == QLatin1String("none") || seen <= 0
                   || (isShape(child) && !v->showsAsShape(child, style))) {
            parent.removeChild(child);
        } else {
            Clip inner = intoChild(clip, child);
            addOwnClip(child, style, v, &inner);
            if (isShape(child)) {
                if (inner.active)
                    clipShape(child, style, inner.region);
            } else if (isNamed(child, {QStringLiteral("text"), QStringLiteral("flowRoot")})) {
                replaceText(child, next, seen, inner, v);
            } else {
                keepVisible(child, seen, inner, v);
            }
        }
        child = next;
    }
}

// Qt SVG knows no clip paths, masks, markers or patterns and would draw their content as
// if it were a group; by now everything that refers to them has been resolved.
void removeDefinitionsDrawnInPlace(QDomElement parent)
{
    static const QStringList names{QStringLiteral("clipPath"), QStringLiteral("mask"), QStringLiteral("marker"),
                                   QStringLiteral("pattern")};
    for (QDomElement child = parent.firstChildElement(); !child.isNull();) {
        QDomElement next = child.nextSiblingElement();
        if (isNamed(child, names))
            parent.removeChild(child);
        else
            removeDefinitionsDrawnInPlace(child);
        child = next;
    }
}

// The space between two tspans is a text node of its own that the plain parser drops,
// gluing the words together; only this reader can be told to keep it.
bool parseKeepingSpaces(const QByteArray& content, QDomDocument* document, QString* message, int* line)
{
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QXmlInputSource source;
    source.setData(declarationsFirst(content));
    QXmlSimpleReader reader;
    reader.setFeature(QStringLiteral("http://xml.org/sax/features/namespaces"), true);
    reader.setFeature(QStringLiteral("http://xml.org/sax/features/namespace-prefixes"), false);
    reader.setFeature(QStringLiteral("http://qt-project.org/xml/features/report-whitespace-only-CharData"), true);
    int column = 0;
    return document->setContent(&source, &reader, message, line, &column);
    QT_WARNING_POP
}

QSizeF rootViewport(const QDomElement& root)
{
    const QRectF box = viewBoxOf(root);
    if (box.isValid())
        return box.size();
    double width = 0, height = 0;
    if (!lengthInUserUnits(root.attribute(QStringLiteral("width")), 16, 0, &width))
        width = 100;
    if (!lengthInUserUnits(root.attribute(QStringLiteral("height")), 16, 0, &height))
        height = 100;
    return QSizeF(width, height);
}

} // namespace

bool normalizeSvg(const QByteArray& content, QByteArray* normalized, QStringList* warnings, QString* error,
                  QVector<MissingGlyph>* missing)
{
    QDomDocument document;
    QString message;
    int line = 0;
    if (!parseKeepingSpaces(content, &document, &message, &line)) {
        *error = QStringLiteral("not a readable SVG document: %1 (line %2)").arg(message).arg(line);
        return false;
    }
    QDomElement root = document.documentElement();
    const StyleSheet sheet = takeStyleSheets(root);
    QHash<QString, QDomElement> ids;
    collectIds(root, &ids);
    // Each pass below walks the whole document; one whose elements or properties the text
    // never names has nothing to do (entities are declared in the text too).
    const auto names = [&content](const char* word) { return content.contains(word); };
    if (names("use") || names("symbol"))
        expandUses(root, ids, warnings);
    if (names("layoutOptions"))
        readLayoutOptions(root);
    // Text that sets no size is drawn at 12 px by the editor these drawings come from,
    // where CSS's medium would be 16.
    cascadeFrom(root, StyleMap{{QStringLiteral("font-size"), QStringLiteral("12")}}, sheet);
    resolveGeometry(root, rootViewport(root));
    if (names("marker"))
        placeMarkers(root, ids);
    Visibility visibility;
    visibility.ids = ids;
    visibility.text.ids = ids;
    visibility.text.warnings = warnings;
    visibility.text.missing = missing;
    keepVisible(root, 1, Clip(), &visibility);
    if (names("clipPath") || names("mask") || names("marker") || names("pattern"))
        removeDefinitionsDrawnInPlace(root);
    if (visibility.masked > 0)
        *warnings << QStringLiteral("masks are cut as the outline of their visible shapes, without their shades: "
                                    "%1 masked element(s)")
                         .arg(visibility.masked);
    *normalized = writeSvgDocument(document);
    return true;
}

} // namespace ktconv
