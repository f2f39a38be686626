#include "weed.h"

#include <algorithm>
#include <limits>

namespace ktconv {
namespace {

CutPath line(QPointF from, QPointF to)
{
    CutPath path;
    path.points = {from, to};
    return path;
}

CutPath rectangle(const QRectF& box)
{
    CutPath path;
    path.points = {box.topLeft(), box.topRight(), box.bottomRight(), box.bottomLeft(), box.topLeft()};
    path.closed = true;
    return path;
}

// How far from `start` along the unit axis `step` (one of the four) a line runs before it
// meets one of `boxes` or leaves `frame`; 0 when it starts inside another box.
double reach(QPointF start, QPointF step, const QVector<QRectF>& boxes, int own, const QRectF& frame)
{
    const bool across = step.y() == 0; // along x
    const double from = across ? start.x() : start.y();
    const double at = across ? start.y() : start.x();
    const double sign = across ? step.x() : step.y();
    double limit =
        sign > 0 ? (across ? frame.right() : frame.bottom()) - from : from - (across ? frame.left() : frame.top());
    for (int j = 0; j < boxes.size(); ++j) {
        const QRectF& b = boxes[j];
        const double low = across ? b.top() : b.left(), high = across ? b.bottom() : b.right();
        if (j == own || at < low || at > high)
            continue;
        const double near = sign > 0 ? (across ? b.left() : b.top()) : (across ? b.right() : b.bottom());
        const double far = sign > 0 ? (across ? b.right() : b.bottom()) : (across ? b.left() : b.top());
        const double toNear = (near - from) * sign, toFar = (far - from) * sign;
        if (toNear <= 0 && toFar >= 0)
            return 0;
        if (toNear > 0)
            limit = std::min(limit, toNear);
    }
    return std::max(0.0, limit);
}

} // namespace

CutPaths weedLines(const QVector<QRectF>& designs, const QRectF& frame, double margin)
{
    QVector<QRectF> boxes;
    for (const QRectF& design : designs)
        boxes << design.adjusted(-margin, -margin, margin, margin);
    CutPaths cuts;
    const QPointF steps[] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    for (int i = 0; i < boxes.size(); ++i) {
        const QRectF& box = boxes[i];
        cuts << rectangle(box);
        for (const QPointF& step : steps) {
            const QPointF start = box.center() + QPointF(step.x() * box.width() / 2, step.y() * box.height() / 2);
            const double length = reach(start, step, boxes, i, frame);
            if (length > 1e-6)
                cuts << line(start, start + step * length);
        }
    }
    return cuts;
}

} // namespace ktconv
