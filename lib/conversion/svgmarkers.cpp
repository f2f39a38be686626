#include "svgmarkers.h"

#include "svgpathdata.h"
#include "svgstyle.h"
#include "svgviewport.h"

#include <QDomDocument>
#include <QLineF>
#include <QVector>

#include <cmath>

namespace ktconv {
namespace {

struct Vertex
{
    QPointF at;
    double in = NAN, out = NAN; // directions in degrees, y downwards
};

double direction(QPointF from, QPointF to)
{
    if (QLineF(from, to).length() < 1e-9)
        return NAN;
    return std::atan2(to.y() - from.y(), to.x() - from.x()) * 180 / M_PI;
}

// Each segment's end point with the directions the path arrives and leaves in.
QVector<Vertex> verticesOf(const QPainterPath& path)
{
    QVector<Vertex> vertices;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        Vertex v;
        v.at = QPointF(e.x, e.y);
        if (e.isCurveTo() && i + 2 < path.elementCount()) {
            const QPointF c1(e.x, e.y), c2(path.elementAt(i + 1).x, path.elementAt(i + 1).y);
            v.at = QPointF(path.elementAt(i + 2).x, path.elementAt(i + 2).y);
            if (!vertices.isEmpty() && std::isnan(vertices.last().out))
                vertices.last().out = direction(vertices.last().at, c1);
            v.in = direction(c2, v.at);
            if (std::isnan(v.in))
                v.in = direction(c1, v.at);
            i += 2;
        } else if (e.isLineTo() && !vertices.isEmpty()) {
            v.in = direction(vertices.last().at, v.at);
            if (std::isnan(vertices.last().out))
                vertices.last().out = v.in;
        }
        vertices << v;
    }
    return vertices;
}

double angleAt(const Vertex& v, const QString& orient, bool start)
{
    if (orient != QLatin1String("auto") && orient != QLatin1String("auto-start-reverse")) {
        bool ok = false;
        const double fixed = QString(orient).remove(QStringLiteral("deg")).toDouble(&ok);
        return ok ? fixed : 0;
    }
    double angle = std::isnan(v.in) ? v.out : std::isnan(v.out) ? v.in : NAN;
    if (std::isnan(angle)) { // halfway between arriving and leaving
        double turn = v.out - v.in;
        turn -= 360 * std::round(turn / 360);
        angle = v.in + turn / 2;
    }
    if (std::isnan(angle))
        angle = 0;
    return start && orient == QLatin1String("auto-start-reverse") ? angle + 180 : angle;
}

QDomElement markerInstance(const QDomElement& marker, const Vertex& v, bool start, double strokeWidth)
{
    double width = 3, height = 3, refX = 0, refY = 0;
    lengthInUserUnits(marker.attribute(QStringLiteral("markerWidth"), QStringLiteral("3")), 16, 0, &width);
    lengthInUserUnits(marker.attribute(QStringLiteral("markerHeight"), QStringLiteral("3")), 16, 0, &height);
    lengthInUserUnits(marker.attribute(QStringLiteral("refX"), QStringLiteral("0")), 16, 0, &refX);
    lengthInUserUnits(marker.attribute(QStringLiteral("refY"), QStringLiteral("0")), 16, 0, &refY);
    const QRectF box = viewBoxOf(marker);
    const QTransform content = box.isValid()
                                   ? viewportTransform(QRectF(0, 0, width, height), box,
                                                       marker.attribute(QStringLiteral("preserveAspectRatio")))
                                   : QTransform();
    const QPointF ref = content.map(QPointF(refX, refY));
    const double scale =
        marker.attribute(QStringLiteral("markerUnits")) == QLatin1String("userSpaceOnUse") ? 1 : strokeWidth;
    QTransform t = content * QTransform::fromTranslate(-ref.x(), -ref.y()) * QTransform::fromScale(scale, scale);
    t *= QTransform().rotate(angleAt(v, marker.attribute(QStringLiteral("orient")), start));
    t *= QTransform::fromTranslate(v.at.x(), v.at.y());
    QDomElement group = marker.ownerDocument().createElement(QStringLiteral("g"));
    group.setAttribute(QStringLiteral("transform"), QStringLiteral("matrix(%1,%2,%3,%4,%5,%6)")
                                                        .arg(t.m11())
                                                        .arg(t.m12())
                                                        .arg(t.m21())
                                                        .arg(t.m22())
                                                        .arg(t.dx())
                                                        .arg(t.dy()));
    for (QDomNode child = marker.firstChild(); !child.isNull(); child = child.nextSibling())
        group.appendChild(child.cloneNode(true));
    return group;
}

QString markerId(const StyleMap& style, const QString& which)
{
    QString value = style.value(which, style.value(QStringLiteral("marker")));
    if (!value.startsWith(QLatin1String("url(")))
        return QString();
    value = value.mid(4).chopped(1).trimmed().remove(QLatin1Char('"')).remove(QLatin1Char('\''));
    return value.startsWith(QLatin1Char('#')) ? value.mid(1) : QString();
}

bool placeOn(QDomElement shape, const QHash<QString, QDomElement>& ids)
{
    const StyleMap style = parseDeclarations(shape.attribute(QStringLiteral("style")));
    const QString start = markerId(style, QStringLiteral("marker-start"));
    const QString mid = markerId(style, QStringLiteral("marker-mid"));
    const QString end = markerId(style, QStringLiteral("marker-end"));
    if (start.isEmpty() && mid.isEmpty() && end.isEmpty())
        return false;
    QDomElement untransformed = shape.cloneNode(false).toElement();
    untransformed.removeAttribute(QStringLiteral("transform"));
    const QVector<Vertex> vertices = verticesOf(shapeOutline(untransformed));
    double strokeWidth = 1;
    if (!lengthInUserUnits(style.value(QStringLiteral("stroke-width"), QStringLiteral("1")), 16, 0, &strokeWidth))
        strokeWidth = 1;
    QDomElement group = shape.ownerDocument().createElement(QStringLiteral("g"));
    if (shape.hasAttribute(QStringLiteral("transform")))
        group.setAttribute(QStringLiteral("transform"), shape.attribute(QStringLiteral("transform")));
    for (int i = 0; i < vertices.size(); ++i) {
        const QString& id = i == 0 ? start : i + 1 == vertices.size() ? end : mid;
        const QDomElement marker = ids.value(id);
        if (!id.isEmpty() && !marker.isNull())
            group.appendChild(markerInstance(marker, vertices[i], i == 0, strokeWidth));
    }
    if (!group.hasChildNodes())
        return false;
    shape.parentNode().insertAfter(group, shape);
    return true;
}

void placeIn(QDomElement parent, const QHash<QString, QDomElement>& ids)
{
    static const QStringList shapes{QStringLiteral("path"), QStringLiteral("line"), QStringLiteral("polyline"),
                                    QStringLiteral("polygon")};
    static const QStringList skipped{QStringLiteral("defs"), QStringLiteral("marker"), QStringLiteral("clipPath"),
                                     QStringLiteral("mask"), QStringLiteral("pattern")};
    for (QDomElement child = parent.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        const QString name = child.localName().isEmpty() ? child.tagName() : child.localName();
        if (shapes.contains(name)) {
            if (placeOn(child, ids)) // markers are not placed on the markers' own shapes
                child = child.nextSiblingElement();
        } else if (!skipped.contains(name))
            placeIn(child, ids);
    }
}

} // namespace

void placeMarkers(QDomElement root, const QHash<QString, QDomElement>& ids)
{
    placeIn(root, ids);
}

} // namespace ktconv
