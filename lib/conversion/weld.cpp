#include "weld.h"

#include <polyclipping/clipper.hpp>

#include <cmath>

namespace ktconv {
namespace {

// Clipper works in integers: coordinates are taken at this many steps per unit of the
// caller's paths, far below what a knife or a screen can show.
constexpr double Steps = 1000;
// Curves are flattened as if a hundred times larger: in millimetres the chords stay within
// a few micrometres (a 0.05 % loss of ink on script), with a tenth of the points that a
// thousandfold flattening gives, and Clipper's time grows with the points.
constexpr double FlattenAt = 100;

ClipperLib::Path toClipper(const QVector<QPointF>& points)
{
    ClipperLib::Path path;
    path.reserve(points.size());
    for (const QPointF& p : points)
        path.emplace_back(ClipperLib::cInt(std::llround(p.x() * Steps)), ClipperLib::cInt(std::llround(p.y() * Steps)));
    return path;
}

QVector<QPointF> fromClipper(const ClipperLib::Path& path)
{
    QVector<QPointF> points;
    points.reserve(int(path.size()) + 1);
    for (const ClipperLib::IntPoint& p : path)
        points << QPointF(p.X / Steps, p.Y / Steps);
    if (!points.isEmpty())
        points << points.first();
    return points;
}

ClipperLib::Paths unite(const ClipperLib::Paths& outlines)
{
    ClipperLib::Clipper clipper;
    clipper.AddPaths(outlines, ClipperLib::ptSubject, true);
    ClipperLib::Paths united;
    clipper.Execute(ClipperLib::ctUnion, united, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
    return united;
}

// Curves flattened finely, in the path's own unit.
ClipperLib::Paths flattened(const QPainterPath& path, int fewest)
{
    const QTransform fine = QTransform::fromScale(FlattenAt, FlattenAt);
    ClipperLib::Paths polygons;
    for (const QPolygonF& polygon : path.toSubpathPolygons(fine)) {
        QVector<QPointF> points(polygon.begin(), polygon.end());
        for (QPointF& p : points)
            p /= FlattenAt;
        if (points.size() >= fewest)
            polygons.push_back(toClipper(points));
    }
    return polygons;
}

} // namespace

void weldPaths(CutPaths* paths)
{
    ClipperLib::Paths outlines;
    CutPaths open;
    for (const CutPath& path : qAsConst(*paths)) {
        if (path.closed && path.points.size() >= 3)
            outlines.push_back(toClipper(path.points));
        else
            open << path;
    }
    CutPaths welded;
    for (const ClipperLib::Path& outline : unite(outlines)) {
        CutPath path;
        path.points = fromClipper(outline);
        path.closed = true;
        welded << path;
    }
    *paths = welded + open;
}

QPainterPath weldOutlines(const QPainterPath& outlines)
{
    // Flattened larger than drawn: Qt flattens curves in steps of a fixed size in the path's
    // own units, which in millimetres would cut the chords visibly short.
    QPainterPath welded;
    welded.setFillRule(Qt::WindingFill);
    for (const ClipperLib::Path& outline : unite(flattened(outlines, 3)))
        welded.addPolygon(QPolygonF(fromClipper(outline)));
    return welded;
}

QPainterPath clipLines(const QPainterPath& lines, const QPainterPath& region)
{
    ClipperLib::Clipper clipper;
    clipper.AddPaths(flattened(lines, 2), ClipperLib::ptSubject, false);
    clipper.AddPaths(flattened(region, 3), ClipperLib::ptClip, true);
    ClipperLib::PolyTree tree;
    const ClipperLib::PolyFillType rule =
        region.fillRule() == Qt::OddEvenFill ? ClipperLib::pftEvenOdd : ClipperLib::pftNonZero;
    clipper.Execute(ClipperLib::ctIntersection, tree, ClipperLib::pftNonZero, rule);
    ClipperLib::Paths open;
    ClipperLib::OpenPathsFromPolyTree(tree, open);
    QPainterPath inside;
    for (const ClipperLib::Path& piece : open) {
        QVector<QPointF> points = fromClipper(piece);
        points.removeLast(); // an open piece does not come back to its start
        inside.addPolygon(QPolygonF(points));
    }
    return inside;
}

} // namespace ktconv
