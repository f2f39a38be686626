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

} // namespace ktconv
