#include "arrange.h"

#include <algorithm>

namespace ktconv {
namespace {

// A design's outline for nesting: the convex hull of its points (monotone chain).
QPolygonF hull(const CutPaths& design)
{
    QVector<QPointF> points;
    for (const CutPath& path : design)
        points += path.points;
    std::sort(points.begin(), points.end(),
              [](QPointF a, QPointF b) { return a.x() < b.x() || (a.x() == b.x() && a.y() < b.y()); });
    const auto cross = [](QPointF o, QPointF a, QPointF b) {
        return (a.x() - o.x()) * (b.y() - o.y()) - (a.y() - o.y()) * (b.x() - o.x());
    };
    QVector<QPointF> h(2 * points.size());
    int k = 0;
    for (int i = 0; i < points.size(); ++i) {
        while (k >= 2 && cross(h[k - 2], h[k - 1], points[i]) <= 0)
            --k;
        h[k++] = points[i];
    }
    for (int i = points.size() - 2, t = k + 1; i >= 0; --i) {
        while (k >= t && cross(h[k - 2], h[k - 1], points[i]) <= 0)
            --k;
        h[k++] = points[i];
    }
    h.resize(std::max(0, k));
    // A design without area (one straight cut) still needs an outline to place.
    if (h.size() < 4) {
        const QRectF box = QPolygonF(points).boundingRect().adjusted(-1, -1, 1, 1);
        return QPolygonF(
            QVector<QPointF>{box.topLeft(), box.topRight(), box.bottomRight(), box.bottomLeft(), box.topLeft()});
    }
    return QPolygonF(h); // counter-clockwise, closed
}

void place(const CutPaths& design, const QTransform& transform, Arranged* result)
{
    CutPaths moved = design;
    transformPaths(&moved, transform);
    result->boxes << boundsOf(moved);
    result->placements << transform;
    result->paths += moved;
}

double lengthOf(const Arranged& arranged)
{
    double top = 0;
    for (const QRectF& box : arranged.boxes)
        top = std::max(top, box.bottom()); // y grows upwards: bottom() is the top edge
    return top / UnitsPerMm;
}

bool rows(const QVector<CutPaths>& designs, double width, double gap, Arranged* result, QString* error)
{
    double x = 0, y = 0, rowHeight = 0;
    for (int i = 0; i < designs.size(); ++i) {
        const QRectF box = boundsOf(designs[i]);
        // A design too wide for the material across goes in turned a quarter.
        QTransform turn;
        if (width > 0 && box.width() > width && box.height() <= width)
            turn.rotate(90);
        const QRectF turned = turn.mapRect(box);
        if (width > 0 && turned.width() > width + 1e-6) {
            *error = QStringLiteral("design %1 is %2 x %3 mm: wider than the material (%4 mm) whichever way it "
                                    "is turned")
                         .arg(i + 1)
                         .arg(box.width() / UnitsPerMm, 0, 'f', 1)
                         .arg(box.height() / UnitsPerMm, 0, 'f', 1)
                         .arg(width / UnitsPerMm, 0, 'f', 1);
            return false;
        }
        if (width > 0 && x > 0 && x + turned.width() > width + 1e-6) {
            x = 0;
            y += rowHeight + gap;
            rowHeight = 0;
        }
        place(designs[i], turn * QTransform::fromTranslate(x - turned.left(), y - turned.top()), result);
        x += turned.width() + gap;
        rowHeight = std::max(rowHeight, turned.height());
    }
    return true;
}

bool nest(const QVector<CutPaths>& designs, double width, double gap, double limit, Arranged* result)
{
    QVector<QPolygonF> outlines;
    for (const CutPaths& design : designs)
        outlines << hull(design);
    QVector<NestPlace> places;
    if (!nestOutlines(outlines, width, gap, limit, &places))
        return false;
    for (int i = 0; i < designs.size(); ++i) {
        QTransform transform;
        transform.rotate(90 * places[i].quarterTurns);
        transform *= QTransform::fromTranslate(places[i].offset.x(), places[i].offset.y());
        place(designs[i], transform, result);
    }
    // Back to the material's origin, whatever margin the nester kept.
    const QRectF all = boundsOf(result->paths);
    transformPaths(&result->paths, QTransform::fromTranslate(-all.left(), -all.top()));
    for (QRectF& box : result->boxes)
        box.translate(-all.left(), -all.top());
    for (QTransform& placement : result->placements)
        placement *= QTransform::fromTranslate(-all.left(), -all.top());
    return true;
}

} // namespace

bool arrangeDesigns(const QVector<CutPaths>& designs, const ArrangeOptions& options, Arranged* result, QString* error)
{
    const double width = options.widthMm * UnitsPerMm;
    const double gap = options.gapMm * UnitsPerMm;
    *result = Arranged();
    if (!rows(designs, width, gap, result, error))
        return false;
    result->lengthMm = lengthOf(*result);
    if (options.how != Arrangement::Nest || width <= 0 || designs.size() < 2)
        return true;
    Arranged nested;
    nested.used = Arrangement::Nest;
    if (nest(designs, width, gap, result->lengthMm * UnitsPerMm, &nested)) {
        nested.lengthMm = lengthOf(nested);
        if (nested.lengthMm < result->lengthMm && boundsOf(nested.paths).width() <= width + 1)
            *result = nested;
    }
    return true;
}

} // namespace ktconv
