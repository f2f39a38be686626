// The cut order as it was before the spatial indexes (a linear scan of the ready paths for
// the nearest, a sweep over every box for the containers), kept as the benchmark's baseline:
// same rules, quadratic time.
#include "quadraticorder.h"

#include "pathorder.h"

#include <QLineF>

#include <algorithm>
#include <numeric>

namespace ktbench {
namespace {

using ktconv::containsPoint;
using ktconv::CutPath;
using ktconv::CutPaths;

double squaredDistance(QPointF a, QPointF b)
{
    const QPointF d = a - b;
    return d.x() * d.x() + d.y() * d.y();
}

bool boxInside(const QRectF& inner, const QRectF& outer)
{
    return inner.left() >= outer.left() && inner.right() <= outer.right() && inner.top() >= outer.top()
           && inner.bottom() <= outer.bottom();
}

// For every path, the closed paths that contain it. Candidates are found by a sweep over
// the boxes sorted by their left edge, so only overlapping boxes are compared.
QVector<QVector<int>> containersOf(const CutPaths& paths, const QVector<QRectF>& boxes)
{
    QVector<int> byLeft(paths.size());
    std::iota(byLeft.begin(), byLeft.end(), 0);
    std::sort(byLeft.begin(), byLeft.end(), [&](int a, int b) { return boxes[a].left() < boxes[b].left(); });
    QVector<QVector<int>> containers(paths.size());
    for (int k = 0; k < byLeft.size(); ++k) {
        const int outer = byLeft[k];
        if (!paths[outer].closed)
            continue;
        const QRectF& box = boxes[outer];
        const double area = box.width() * box.height();
        for (int m = 0; m < byLeft.size(); ++m) {
            const int inner = byLeft[m];
            if (boxes[inner].left() > box.right())
                break;
            if (inner == outer || !boxInside(boxes[inner], box) || boxes[inner].width() * boxes[inner].height() >= area)
                continue;
            if (containsPoint(paths[outer], paths[inner].points.first()))
                containers[inner] << outer;
        }
    }
    return containers;
}

// The closed path starting at its vertex nearest `from`.
CutPath startNearest(const CutPath& path, QPointF from)
{
    int best = 0;
    for (int i = 1; i + 1 < path.points.size(); ++i) {
        if (squaredDistance(path.points[i], from) < squaredDistance(path.points[best], from))
            best = i;
    }
    if (best == 0)
        return path;
    CutPath rotated;
    rotated.closed = true;
    rotated.points = path.points.mid(best, path.points.size() - 1 - best) + path.points.mid(0, best + 1);
    return rotated;
}

} // namespace

CutPaths quadraticOrder(const CutPaths& paths, QPointF start)
{
    QVector<QRectF> boxes;
    boxes.reserve(paths.size());
    for (const CutPath& path : paths)
        boxes << boundsOf(path);
    const QVector<QVector<int>> containers = containersOf(paths, boxes);
    QVector<int> waitingFor(paths.size(), 0);
    for (const QVector<int>& outer : containers) {
        for (int c : outer)
            ++waitingFor[c];
    }
    QVector<int> ready;
    for (int i = 0; i < paths.size(); ++i) {
        if (waitingFor[i] == 0 && !paths[i].points.isEmpty())
            ready << i;
    }

    CutPaths ordered;
    ordered.reserve(paths.size());
    QPointF at = start;
    while (!ready.isEmpty()) {
        int pick = 0;
        bool reversed = false;
        double best = -1;
        for (int r = 0; r < ready.size(); ++r) {
            const CutPath& path = paths[ready[r]];
            const double head = squaredDistance(at, path.points.first());
            const double tail = path.closed ? head : squaredDistance(at, path.points.last());
            if (best < 0 || std::min(head, tail) < best) {
                best = std::min(head, tail);
                pick = r;
                reversed = tail < head;
            }
        }
        const int index = ready[pick];
        ready[pick] = ready.last();
        ready.removeLast();
        CutPath next = paths[index];
        if (next.closed)
            next = startNearest(next, at);
        else if (reversed)
            std::reverse(next.points.begin(), next.points.end());
        at = next.points.last();
        ordered << next;
        for (int outer : containers[index]) {
            if (--waitingFor[outer] == 0)
                ready << outer;
        }
    }
    return ordered;
}

} // namespace ktbench
