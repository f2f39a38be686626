#include "cutpath.h"

#include <QLineF>

namespace ktconv {

double pathLength(const CutPath& path)
{
    double length = 0;
    for (int i = 1; i < path.points.size(); ++i)
        length += QLineF(path.points[i - 1], path.points[i]).length();
    return length;
}

double penDownLength(const CutPaths& paths)
{
    double length = 0;
    for (const CutPath& path : paths)
        length += pathLength(path);
    return length;
}

double travelLength(const CutPaths& paths, QPointF from)
{
    double length = 0;
    for (const CutPath& path : paths) {
        if (path.points.isEmpty())
            continue;
        length += QLineF(from, path.points.first()).length();
        from = path.points.last();
    }
    return length;
}

QRectF boundsOf(const CutPath& path)
{
    if (path.points.isEmpty())
        return QRectF();
    double left = path.points.first().x(), right = left;
    double bottom = path.points.first().y(), top = bottom;
    for (const QPointF& p : path.points) {
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        bottom = std::min(bottom, p.y());
        top = std::max(top, p.y());
    }
    return QRectF(QPointF(left, bottom), QPointF(right, top));
}

QRectF boundsOf(const CutPaths& paths)
{
    QRectF all;
    bool first = true;
    for (const CutPath& path : paths) {
        if (path.points.isEmpty())
            continue;
        const QRectF r = boundsOf(path);
        // united() ignores empty rectangles, and a straight line has an empty one.
        all = first ? r
                    : QRectF(QPointF(std::min(all.left(), r.left()), std::min(all.top(), r.top())),
                             QPointF(std::max(all.right(), r.right()), std::max(all.bottom(), r.bottom())));
        first = false;
    }
    return all;
}

void transformPaths(CutPaths* paths, const QTransform& transform)
{
    for (CutPath& path : *paths) {
        for (QPointF& p : path.points)
            p = transform.map(p);
    }
}

} // namespace ktconv
