#include "layerfilter.h"

#include "svgnamespaces.h"

#include <QColor>
#include <QDomDocument>

#include <functional>

namespace ktconv {

namespace {

const QString EditorNamespace = QStringLiteral("http://www.inkscape.org/namespaces/inkscape");
const QStringList DrawnElements = {QStringLiteral("g"),        QStringLiteral("path"),     QStringLiteral("rect"),
                                   QStringLiteral("circle"),   QStringLiteral("ellipse"),  QStringLiteral("line"),
                                   QStringLiteral("polyline"), QStringLiteral("polygon"),  QStringLiteral("text"),
                                   QStringLiteral("use"),      QStringLiteral("image"),    QStringLiteral("switch"),
                                   QStringLiteral("a"),        QStringLiteral("flowRoot"), QStringLiteral("svg")};

bool isLayer(const QDomElement& element)
{
    return element.localName() == QLatin1String("g")
           && element.attributeNS(EditorNamespace, QStringLiteral("groupmode")) == QLatin1String("layer");
}

QString layerName(const QDomElement& layer)
{
    const QString label = layer.attributeNS(EditorNamespace, QStringLiteral("label"));
    return label.isEmpty() ? layer.attribute(QStringLiteral("id")) : label;
}

bool holdsLayer(const QDomElement& element, const QStringList& chosen)
{
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        if ((isLayer(child) && chosen.contains(layerName(child))) || holdsLayer(child, chosen))
            return true;
    }
    return false;
}

// Under `element`, what is drawn and neither a chosen layer nor on the way to one is moved
// into `store`.
void setAside(QDomElement element, const QStringList& chosen, QDomElement store)
{
    QDomElement child = element.firstChildElement();
    while (!child.isNull()) {
        const QDomElement next = child.nextSiblingElement();
        if (isLayer(child) && chosen.contains(layerName(child))) {
            // Chosen: drawn whole, its sublayers with it.
        } else if (holdsLayer(child, chosen)) {
            setAside(child, chosen, store);
        } else if (DrawnElements.contains(child.localName())) {
            store.appendChild(child);
        }
        child = next;
    }
}

void collectLayers(const QDomElement& element, QStringList* names)
{
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        if (isLayer(child) && !names->contains(layerName(child)))
            *names << layerName(child);
        collectLayers(child, names);
    }
}

} // namespace

bool parseColours(const QString& text, QVector<QRgb>* colours, QString* error)
{
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QColor colour(part.trimmed());
        if (!colour.isValid()) {
            *error = QStringLiteral("\"%1\" is not a colour (give #RRGGBB)").arg(part.trimmed());
            return false;
        }
        *colours << colour.rgb();
    }
    if (colours->isEmpty()) {
        *error = QStringLiteral("no colour given (give #RRGGBB,...)");
        return false;
    }
    return true;
}

QString colourName(QRgb colour)
{
    return QColor(colour).name();
}

QStringList svgLayers(const QByteArray& svg)
{
    QDomDocument document;
    QStringList names;
    if (document.setContent(declarationsFirst(svg), true))
        collectLayers(document.documentElement(), &names);
    return names;
}

namespace {

// Only the chosen layers left to draw; the rest is kept as definitions.
void keepLayers(QDomDocument* document, const QStringList& layers)
{
    QDomElement root = document->documentElement();
    QDomElement store = document->createElementNS(root.namespaceURI(), QStringLiteral("defs"));
    setAside(root, layers, store);
    root.appendChild(store);
}

void dropLayers(QDomDocument* document, const QStringList& layers)
{
    QDomElement root = document->documentElement();
    QDomElement store = document->createElementNS(root.namespaceURI(), QStringLiteral("defs"));
    QVector<QDomElement> dropped;
    const std::function<void(const QDomElement&)> find = [&](const QDomElement& element) {
        for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
            if (isLayer(child) && layers.contains(layerName(child)))
                dropped << child;
            else
                find(child);
        }
    };
    find(root);
    for (QDomElement& layer : dropped)
        store.appendChild(layer);
    root.appendChild(store);
}

} // namespace

QByteArray keepSvgLayers(const QByteArray& svg, const QStringList& layers)
{
    DrawingChoice choice;
    choice.layers = layers;
    return chooseSvgLayers(svg, choice);
}

QByteArray dropSvgLayers(const QByteArray& svg, const QStringList& layers)
{
    DrawingChoice choice;
    choice.leftOut = layers;
    return chooseSvgLayers(svg, choice);
}

// One reading of the document for all the steps: what a step sets aside is no longer
// looked at by the next.
QByteArray chooseSvgLayers(const QByteArray& svg, const DrawingChoice& choice)
{
    QDomDocument document;
    if (!choice.namesLayers() || !document.setContent(declarationsFirst(svg), true))
        return svg;
    if (!choice.leftOut.isEmpty())
        dropLayers(&document, choice.leftOut);
    if (!choice.within.isEmpty())
        keepLayers(&document, choice.within);
    if (!choice.layers.isEmpty())
        keepLayers(&document, choice.layers);
    return document.toByteArray(-1);
}

QVector<QPair<QRgb, int>> colourCounts(const CutPaths& paths)
{
    QVector<QPair<QRgb, int>> counts;
    const auto count = [&counts](QRgb colour) {
        for (QPair<QRgb, int>& entry : counts) {
            if (entry.first == colour) {
                ++entry.second;
                return;
            }
        }
        counts << qMakePair(colour, 1);
    };
    for (const CutPath& path : paths) {
        if (path.fill)
            count(path.fill);
        if (path.stroke && path.stroke != path.fill)
            count(path.stroke);
    }
    return counts;
}

bool keepColours(CutPaths* paths, const QVector<QRgb>& colours, QString* error)
{
    const QVector<QPair<QRgb, int>> present = colourCounts(*paths);
    QStringList names;
    for (const QPair<QRgb, int>& entry : present)
        names << colourName(entry.first);
    for (QRgb colour : colours) {
        if (!names.contains(colourName(colour))) {
            *error = QStringLiteral("the drawing has no shape in %1; its colours: %2")
                         .arg(colourName(colour), names.isEmpty() ? QStringLiteral("none") : names.join(", "));
            return false;
        }
    }
    CutPaths kept;
    for (const CutPath& path : *paths) {
        if ((path.fill && colours.contains(path.fill)) || (path.stroke && colours.contains(path.stroke)))
            kept << path;
    }
    *paths = kept;
    return true;
}

bool knownLayers(const QStringList& asked, const QStringList& present, QString* error)
{
    for (const QString& name : asked) {
        if (!present.contains(name)) {
            *error = QStringLiteral("the drawing has no layer \"%1\"; its layers: %2")
                         .arg(name, present.isEmpty() ? QStringLiteral("none") : present.join(", "));
            return false;
        }
    }
    return true;
}

} // namespace ktconv
