#include "knife.h"

#include <QLineF>

#include <cmath>

namespace ktconv {
namespace {

constexpr double Pi = 3.14159265358979323846;
// Turns below this are left to the straight joins; the blade follows them by itself.
constexpr double SmallTurn = 10 * Pi / 180;

QPointF unit(QPointF from, QPointF to)
{
    const double length = QLineF(from, to).length();
    return length > 0 ? (to - from) / length : QPointF();
}

// Points on the arc of the given radius around `corner` from direction `from` to `to`,
// turning the shorter way, without the first point.
void appendArc(QVector<QPointF>* points, QPointF corner, QPointF from, QPointF to, double radius)
{
    const double start = std::atan2(from.y(), from.x());
    double turn = std::atan2(to.y(), to.x()) - start;
    while (turn > Pi)
        turn -= 2 * Pi;
    while (turn < -Pi)
        turn += 2 * Pi;
    if (std::abs(turn) < SmallTurn) {
        *points << corner + to * radius;
        return;
    }
    // Chords of at most about one plotter unit, and at least a step per 15 degrees.
    const int steps = std::max(int(std::ceil(std::abs(turn) / (Pi / 12))), int(std::ceil(std::abs(turn) * radius)));
    for (int i = 1; i <= steps; ++i) {
        const double angle = start + turn * i / steps;
        *points << corner + QPointF(std::cos(angle), std::sin(angle)) * radius;
    }
}

// The distinct points of a path, and the unit direction of its first and last edge.
bool ends(const CutPath& path, QPointF* first, QPointF* last)
{
    const QVector<QPointF>& p = path.points;
    int a = 1, b = p.size() - 2;
    while (a < p.size() && QLineF(p[0], p[a]).length() < 1e-9)
        ++a;
    while (b >= 0 && QLineF(p[b], p.last()).length() < 1e-9)
        --b;
    if (a >= p.size() || b < 0)
        return false;
    *first = unit(p[0], p[a]);
    *last = unit(p[b], p.last());
    return true;
}

// The precut stands this far off the job, so that the tip, wherever it points first, stays
// clear of it.
constexpr double PrecutGap = UnitsPerMm;

// The precut: the axis across, then along a side long enough that any blade direction,
// even one that points straight back along the first stroke, is turned true by its end.
CutPath precut(const QRectF& job, double offset)
{
    const QPointF start(job.right() + PrecutGap + offset, job.top() + offset);
    CutPath path;
    path.points = {start, start + QPointF(2 * offset, 0), start + QPointF(2 * offset, 6 * offset)};
    return path;
}

} // namespace

void addOvercut(CutPath* path, double length)
{
    if (!path->closed || path->points.size() < 3 || length <= 0)
        return;
    const QVector<QPointF> ring = path->points;
    double left = length;
    for (int i = 1; left > 0; i = i % (ring.size() - 1) + 1) {
        const QLineF edge(ring[i - 1], ring[i]);
        if (edge.length() >= left) {
            path->points << edge.pointAt(left / edge.length());
            break;
        }
        left -= edge.length();
        path->points << ring[i];
    }
    path->closed = false;
}

CutPath withToolOffset(const CutPath& path, double offset)
{
    QVector<QPointF> p;
    for (const QPointF& point : path.points) {
        if (p.isEmpty() || QLineF(p.last(), point).length() > 1e-9)
            p << point;
    }
    if (p.size() < 2 || offset <= 0)
        return path;
    CutPath axis;
    axis.closed = false;
    QPointF direction = unit(p[0], p[1]);
    axis.points << p[0] + direction * offset;
    for (int i = 1; i + 1 < p.size(); ++i) {
        const QPointF next = unit(p[i], p[i + 1]);
        axis.points << p[i] + direction * offset;
        appendArc(&axis.points, p[i], direction, next, offset);
        direction = next;
    }
    axis.points << p.last() + direction * offset;
    // Back at the start of a closed path, turn the blade into the first edge as well.
    if (path.closed)
        appendArc(&axis.points, p.last(), direction, unit(p[0], p[1]), offset);
    return axis;
}

double bladeTurnsExtraWidth(double offset)
{
    return offset + PrecutGap + 3 * offset;
}

CutPaths withBladeTurns(const CutPaths& paths, double offset, QPointF origin)
{
    CutPaths axes;
    QPointF blade, first, last;
    for (const CutPath& path : paths) {
        CutPath axis = withToolOffset(path, offset);
        if (!ends(axis, &first, &last)) {
            axes << axis;
            continue;
        }
        if (blade.isNull()) {
            axes.prepend(precut(boundsOf(paths), offset));
            blade = QPointF(0, 1); // along the precut's last stroke
        }
        // The tip stands on the path's start while the axis swings round it.
        const QPointF start = axis.points.first() - first * offset;
        QVector<QPointF> turn{start + blade * offset};
        appendArc(&turn, start, blade, first, offset);
        turn.removeLast(); // the path's own first point
        axis.points = turn + axis.points;
        blade = (axis.points.last() - path.points.last()) / offset;
        axes << axis;
    }
    const QRectF all = boundsOf(axes);
    const QPointF lift(std::max(0.0, origin.x() - all.left()), std::max(0.0, origin.y() - all.top()));
    if (!lift.isNull())
        transformPaths(&axes, QTransform::fromTranslate(lift.x(), lift.y()));
    return axes;
}

} // namespace ktconv
