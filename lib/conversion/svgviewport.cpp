#include "svgviewport.h"

#include "svgstyle.h"

#include <QRegularExpression>

#include <cmath>

namespace ktconv {
namespace {

const QString XLink = QStringLiteral("http://www.w3.org/1999/xlink");
constexpr int MaxCloneDepth = 32;
constexpr int MaxClones = 200000; // elements; a drawing cloning itself twice per level would never end

bool isElement(const QDomElement& element, const char* name)
{
    return element.localName() == QLatin1String(name) || element.tagName() == QLatin1String(name);
}

QString hrefOf(const QDomElement& element)
{
    QString href = element.attribute(QStringLiteral("href"));
    if (href.isEmpty())
        href = element.attributeNS(XLink, QStringLiteral("href"));
    return href.startsWith(QLatin1Char('#')) ? href.mid(1) : QString();
}

double lengthOr(const QDomElement& element, const QString& name, double base, double fallback)
{
    double value = 0;
    return lengthInUserUnits(element.attribute(name), 16, base, &value) ? value : fallback;
}

void removeIds(QDomElement element)
{
    element.removeAttribute(QStringLiteral("id"));
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
        removeIds(child);
}

bool isDefinition(const QDomElement& element)
{
    static const QStringList names{QStringLiteral("defs"),     QStringLiteral("symbol"), QStringLiteral("marker"),
                                   QStringLiteral("clipPath"), QStringLiteral("mask"),   QStringLiteral("pattern"),
                                   QStringLiteral("metadata")};
    return names.contains(element.localName()) || names.contains(element.tagName());
}

// The use as a group: its own transform, then its x and y, then the referenced element.
QDomElement expandUse(const QDomElement& use, const QDomElement& target)
{
    QDomDocument document = use.ownerDocument();
    QDomElement group = document.createElement(QStringLiteral("g"));
    const QDomNamedNodeMap attributes = use.attributes();
    for (int i = 0; i < attributes.count(); ++i) {
        const QDomAttr a = attributes.item(i).toAttr();
        static const QStringList geometry{QStringLiteral("x"),     QStringLiteral("y"),
                                          QStringLiteral("width"), QStringLiteral("height"),
                                          QStringLiteral("href"),  QStringLiteral("xlink:href")};
        if (!geometry.contains(a.name()))
            group.setAttribute(a.name(), a.value());
    }
    const QString move = QStringLiteral(" translate(%1,%2)")
                             .arg(lengthOr(use, QStringLiteral("x"), 0, 0))
                             .arg(lengthOr(use, QStringLiteral("y"), 0, 0));
    group.setAttribute(QStringLiteral("transform"), use.attribute(QStringLiteral("transform")) + move);
    QDomElement copy = target.cloneNode(true).toElement();
    removeIds(copy);
    if (isElement(copy, "symbol") || isElement(copy, "svg")) {
        copy.setTagName(QStringLiteral("svg"));
        copy.removeAttribute(QStringLiteral("x"));
        copy.removeAttribute(QStringLiteral("y"));
        for (const QString& size : {QStringLiteral("width"), QStringLiteral("height")}) {
            if (use.hasAttribute(size))
                copy.setAttribute(size, use.attribute(size));
        }
    }
    group.appendChild(copy);
    return group;
}

struct Cloning
{
    const QHash<QString, QDomElement>& ids;
    QHash<QString, QDomElement> pristine; // each target as it was when first used
    int budget = MaxClones;
};

// The target before any of its own uses were expanded: a group that clones itself would
// otherwise copy its growing self.
QDomElement targetOf(const QDomElement& use, Cloning* cloning)
{
    const QString id = hrefOf(use);
    if (!cloning->pristine.contains(id)) {
        const QDomElement target = cloning->ids.value(id);
        cloning->pristine.insert(id, target.isNull() ? target : target.cloneNode(true).toElement());
    }
    return cloning->pristine.value(id);
}

void expandIn(QDomElement parent, Cloning* cloning, int depth)
{
    for (QDomElement child = parent.firstChildElement(); !child.isNull();) {
        QDomElement next = child.nextSiblingElement();
        if (isElement(child, "use")) {
            const QDomElement target = targetOf(child, cloning);
            if (target.isNull() || depth >= MaxCloneDepth || cloning->budget <= 0) {
                if (!target.isNull())
                    cloning->budget = 0;
                parent.removeChild(child);
            } else {
                const QDomElement group = expandUse(child, target);
                parent.replaceChild(group, child);
                cloning->budget -= group.elementsByTagName(QStringLiteral("*")).count();
                expandIn(group, cloning, depth + 1);
            }
        } else if (!isDefinition(child)) {
            expandIn(child, cloning, depth);
        }
        child = next;
    }
}

void removeSymbols(QDomElement parent)
{
    for (QDomElement child = parent.firstChildElement(); !child.isNull();) {
        QDomElement next = child.nextSiblingElement();
        if (isElement(child, "symbol"))
            parent.removeChild(child);
        else
            removeSymbols(child);
        child = next;
    }
}

QString matrixOf(const QTransform& t)
{
    return QStringLiteral("matrix(%1,%2,%3,%4,%5,%6)")
        .arg(t.m11(), 0, 'g', 12)
        .arg(t.m12(), 0, 'g', 12)
        .arg(t.m21(), 0, 'g', 12)
        .arg(t.m22(), 0, 'g', 12)
        .arg(t.dx(), 0, 'g', 12)
        .arg(t.dy(), 0, 'g', 12);
}

// A nested viewport becomes a group; returns the size its content's percentages refer to.
QSizeF flattenViewport(QDomElement svg, const QSizeF& outer)
{
    const QRectF viewport(lengthOr(svg, QStringLiteral("x"), outer.width(), 0),
                          lengthOr(svg, QStringLiteral("y"), outer.height(), 0),
                          lengthOr(svg, QStringLiteral("width"), outer.width(), outer.width()),
                          lengthOr(svg, QStringLiteral("height"), outer.height(), outer.height()));
    const QRectF box = viewBoxOf(svg);
    const QTransform t = box.isValid()
                             ? viewportTransform(viewport, box, svg.attribute(QStringLiteral("preserveAspectRatio")))
                             : QTransform::fromTranslate(viewport.x(), viewport.y());
    for (const QString& name :
         {QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("width"), QStringLiteral("height"),
          QStringLiteral("viewBox"), QStringLiteral("preserveAspectRatio")})
        svg.removeAttribute(name);
    svg.setTagName(QStringLiteral("g"));
    svg.setAttribute(QStringLiteral("transform"),
                     svg.attribute(QStringLiteral("transform")) + QLatin1Char(' ') + matrixOf(t));
    return box.isValid() ? box.size() : viewport.size();
}

// Lengths with units or percentages become plain user units, which every reader agrees on.
void resolveLengths(QDomElement element, const QSizeF& viewport)
{
    const double diagonal =
        std::sqrt((viewport.width() * viewport.width() + viewport.height() * viewport.height()) / 2);
    static const QRegularExpression plain(QStringLiteral("^\\s*[-+]?(\\d+\\.?\\d*|\\.\\d+)([eE][-+]?\\d+)?\\s*$"));
    static const QStringList horizontal{QStringLiteral("x"),  QStringLiteral("cx"),    QStringLiteral("x1"),
                                        QStringLiteral("x2"), QStringLiteral("width"), QStringLiteral("rx")};
    static const QStringList vertical{QStringLiteral("y"),  QStringLiteral("cy"),     QStringLiteral("y1"),
                                      QStringLiteral("y2"), QStringLiteral("height"), QStringLiteral("ry")};
    static const QStringList shapes{QStringLiteral("rect"), QStringLiteral("circle"), QStringLiteral("ellipse"),
                                    QStringLiteral("line"), QStringLiteral("image")};
    if (!shapes.contains(element.localName()))
        return;
    const QStringList names = horizontal + vertical + QStringList{QStringLiteral("r")};
    for (const QString& name : names) {
        const QString text = element.attribute(name);
        if (text.isEmpty() || plain.match(text).hasMatch())
            continue;
        const double base = horizontal.contains(name) ? viewport.width()
                            : vertical.contains(name) ? viewport.height()
                                                      : diagonal;
        double value = 0;
        if (lengthInUserUnits(text, 16, base, &value))
            element.setAttribute(name, QString::number(value, 'g', 12));
    }
}

void resolveIn(QDomElement parent, const QSizeF& viewport)
{
    for (QDomElement child = parent.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        QSizeF inner = viewport;
        if (isElement(child, "svg"))
            inner = flattenViewport(child, viewport);
        else
            resolveLengths(child, viewport);
        resolveIn(child, inner);
    }
}

} // namespace

QRectF viewBoxOf(const QDomElement& element)
{
    const QStringList box = element.attribute(QStringLiteral("viewBox"))
                                .split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
    if (box.size() != 4)
        return QRectF();
    return QRectF(box[0].toDouble(), box[1].toDouble(), box[2].toDouble(), box[3].toDouble());
}

QTransform viewportTransform(const QRectF& viewport, const QRectF& viewBox, const QString& preserveAspectRatio)
{
    const QStringList words = preserveAspectRatio.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString align = words.value(0, QStringLiteral("xMidYMid"));
    if (align == QLatin1String("defer"))
        align = words.value(1, QStringLiteral("xMidYMid"));
    const bool slice = words.contains(QStringLiteral("slice"));
    double sx = viewport.width() / viewBox.width(), sy = viewport.height() / viewBox.height();
    double tx = viewport.x() - viewBox.x() * sx, ty = viewport.y() - viewBox.y() * sy;
    if (align != QLatin1String("none")) {
        const double s = slice ? std::max(sx, sy) : std::min(sx, sy);
        const double spareX = viewport.width() - viewBox.width() * s;
        const double spareY = viewport.height() - viewBox.height() * s;
        const double fx = align.startsWith(QLatin1String("xMid"))   ? 0.5
                          : align.startsWith(QLatin1String("xMax")) ? 1
                                                                    : 0;
        const double fy = align.endsWith(QLatin1String("YMid")) ? 0.5 : align.endsWith(QLatin1String("YMax")) ? 1 : 0;
        sx = sy = s;
        tx = viewport.x() - viewBox.x() * s + fx * spareX;
        ty = viewport.y() - viewBox.y() * s + fy * spareY;
    }
    return QTransform(sx, 0, 0, sy, tx, ty);
}

void expandUses(QDomElement root, const QHash<QString, QDomElement>& ids, QStringList* warnings)
{
    Cloning cloning{ids, {}, MaxClones};
    expandIn(root, &cloning, 0);
    removeSymbols(root);
    if (cloning.budget <= 0 && warnings)
        *warnings << QStringLiteral("clones nested deeper than %1 levels, or of more than %2 elements, are not cut")
                         .arg(MaxCloneDepth)
                         .arg(MaxClones);
}

void resolveGeometry(QDomElement root, const QSizeF& rootViewport)
{
    resolveIn(root, rootViewport);
}

} // namespace ktconv
