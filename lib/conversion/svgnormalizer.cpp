#include "svgnormalizer.h"

#include "svgmarkers.h"
#include "svgpathdata.h"
#include "svgstyle.h"
#include "svgtext.h"
#include "svgviewport.h"

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

// Every <style> sheet's rules; the sheets are removed so that nothing applies them twice.
StyleSheet takeStyleSheets(QDomElement root)
{
    StyleSheet sheet;
    const QDomNodeList found = root.elementsByTagName(QStringLiteral("style"));
    QList<QDomNode> sheets;
    for (int i = 0; i < found.count(); ++i)
        sheets << found.at(i);
    for (QDomNode node : sheets) {
        sheet.add(node.toElement().text());
        node.parentNode().removeChild(node);
    }
    return sheet;
}

QString serialize(const StyleMap& style)
{
    QStringList declarations;
    for (auto it = style.begin(); it != style.end(); ++it)
        declarations << it.key() + QLatin1Char(':') + it.value();
    declarations.sort();
    return declarations.join(QLatin1Char(';'));
}

// Writes each element's computed style into its style attribute and drops the attributes
// and classes it came from.
void cascade(QDomElement element, const StyleMap& parent, const StyleSheet& sheet)
{
    const StyleMap own = specifiedStyle(element, sheet);
    StyleMap computed;
    for (auto it = parent.begin(); it != parent.end(); ++it) {
        if (isInheritedProperty(it.key()))
            computed.insert(it.key(), it.value());
    }
    for (auto it = own.begin(); it != own.end(); ++it)
        computed.insert(it.key(), it.value() == QLatin1String("inherit") ? parent.value(it.key()) : it.value());
    const double parentSize = parent.value(QStringLiteral("font-size"), QStringLiteral("16")).toDouble();
    computed.insert(QStringLiteral("font-size"),
                    QString::number(fontSizeInUserUnits(computed.value(QStringLiteral("font-size")), parentSize)));
    const QString space = element.attribute(QStringLiteral("xml:space"), computed.take(QStringLiteral("xml:space")));
    if (space == QLatin1String("preserve"))
        computed.insert(QStringLiteral("white-space"), QStringLiteral("pre"));
    else if (space == QLatin1String("default"))
        computed.remove(QStringLiteral("white-space"));
    for (auto it = own.begin(); it != own.end(); ++it) {
        if (isPresentationAttribute(it.key()))
            element.removeAttribute(it.key());
    }
    element.removeAttribute(QStringLiteral("class"));
    element.setAttribute(QStringLiteral("style"), serialize(computed));
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
        cascade(child, computed, sheet);
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

// A filled shape clipped directly is cut as the part of its area inside the clip; false
// for what this does not cover (strokes, clips on groups, clips in bounding-box units).
bool clipFilledShape(QDomElement shape, StyleMap style, const QHash<QString, QDomElement>& ids)
{
    QString clip = style.value(QStringLiteral("clip-path"));
    const QDomElement clipPath = ids.value(clip.mid(5).chopped(1));
    if (!clip.startsWith(QLatin1String("url(#")) || clipPath.isNull()
        || !paintShows(style, QStringLiteral("fill"), QStringLiteral("black"))
        || paintShows(style, QStringLiteral("stroke"), QStringLiteral("none"))
        || clipPath.attribute(QStringLiteral("clipPathUnits")) == QLatin1String("objectBoundingBox"))
        return false;
    QDomElement region = clipPath.cloneNode(true).toElement();
    region.setTagName(QStringLiteral("g"));
    QDomElement plain = shape.cloneNode(false).toElement();
    plain.removeAttribute(QStringLiteral("transform"));
    const QPainterPath inside = shapeOutline(plain).intersected(shapeOutline(region));
    QDomElement path = shape.ownerDocument().createElement(QStringLiteral("path"));
    style.remove(QStringLiteral("clip-path"));
    path.setAttribute(QStringLiteral("style"), serialize(style));
    path.setAttribute(QStringLiteral("d"), pathData(inside));
    if (shape.hasAttribute(QStringLiteral("transform")))
        path.setAttribute(QStringLiteral("transform"), shape.attribute(QStringLiteral("transform")));
    if (inside.isEmpty())
        shape.parentNode().removeChild(shape);
    else
        shape.parentNode().replaceChild(path, shape);
    return true;
}

struct Visibility
{
    QHash<QString, QDomElement> ids;
    TextContext text;
    int clipped = 0;
    int masked = 0;
};

void keepVisible(QDomElement parent, double opacity, Visibility* v)
{
    static const QStringList shapes{QStringLiteral("path"),    QStringLiteral("rect"), QStringLiteral("circle"),
                                    QStringLiteral("ellipse"), QStringLiteral("line"), QStringLiteral("polyline"),
                                    QStringLiteral("polygon")};
    static const QStringList definitions{QStringLiteral("defs"), QStringLiteral("marker"),  QStringLiteral("clipPath"),
                                         QStringLiteral("mask"), QStringLiteral("pattern"), QStringLiteral("metadata")};
    for (QDomElement child = parent.firstChildElement(); !child.isNull();) {
        QDomElement next = child.nextSiblingElement();
        const StyleMap style = parseDeclarations(child.attribute(QStringLiteral("style")));
        const double seen = opacity * opacityValue(style.value(QStringLiteral("opacity")));
        if (isNamed(child, definitions)) {
            // drawn only through a reference, never in place
        } else if (style.value(QStringLiteral("display")) == QLatin1String("none") || seen <= 0
                   || (isNamed(child, shapes) && !shapeShows(child, style))) {
            parent.removeChild(child);
        } else {
            const QString clip = style.value(QStringLiteral("clip-path"), QStringLiteral("none"));
            if (clip != QLatin1String("none") && isNamed(child, shapes) && clipFilledShape(child, style, v->ids)) {
                child = next;
                continue;
            }
            v->clipped += clip != QLatin1String("none") ? 1 : 0;
            v->masked += style.value(QStringLiteral("mask"), QStringLiteral("none")) != QLatin1String("none") ? 1 : 0;
            if (isNamed(child, {QStringLiteral("text"), QStringLiteral("flowRoot")}))
                replaceTextWithOutlines(child, v->text);
            else
                keepVisible(child, seen, v);
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
    source.setData(content);
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

bool normalizeSvg(const QByteArray& content, QByteArray* normalized, QStringList* warnings, QString* error)
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
    expandUses(root, ids, warnings);
    cascade(root, StyleMap(), sheet);
    resolveGeometry(root, rootViewport(root));
    placeMarkers(root, ids);
    Visibility visibility;
    visibility.ids = ids;
    visibility.text.ids = ids;
    visibility.text.warnings = warnings;
    keepVisible(root, 1, &visibility);
    removeDefinitionsDrawnInPlace(root);
    if (visibility.clipped > 0)
        *warnings << QStringLiteral(
                         "clip paths are applied only to filled shapes: %1 other clipped element(s) are cut whole")
                         .arg(visibility.clipped);
    if (visibility.masked > 0)
        *warnings << QStringLiteral("masks are not applied: %1 masked element(s) are cut whole").arg(visibility.masked);
    *normalized = document.toByteArray(-1);
    return true;
}

} // namespace ktconv
