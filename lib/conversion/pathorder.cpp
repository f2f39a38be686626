#include "pathorder.h"

#include "pathindex.h"

#include <algorithm>

namespace ktconv {
namespace {

double squaredDistance(QPointF a, QPointF b)
{
    const QPointF d = a - b;
    return d.x() * d.x() + d.y() * d.y();
}

// The closed path starting at its vertex nearest `from`.
void startNearest(CutPath* path, QPointF from)
{
    const QVector<QPointF>& p = path->points;
    int best = 0;
    for (int i = 1; i + 1 < p.size(); ++i) {
        if (squaredDistance(p[i], from) < squaredDistance(p[best], from))
            best = i;
    }
    if (best > 0)
        path->points = p.mid(best, p.size() - 1 - best) + p.mid(0, best + 1);
}

} // namespace

bool containsPoint(const CutPath& polygon, QPointF point)
{
    bool inside = false;
    const QVector<QPointF>& p = polygon.points;
    for (int i = 0, j = p.size() - 1; i < p.size(); j = i++) {
        if ((p[i].y() > point.y()) != (p[j].y() > point.y())
            && point.x() < (p[j].x() - p[i].x()) * (point.y() - p[i].y()) / (p[j].y() - p[i].y()) + p[i].x())
            inside = !inside;
    }
    return inside;
}

CutPaths orderPaths(const CutPaths& paths, QPointF start, ConversionProgress* progress)
{
    stepProgress(progress, ConversionStage::Ordering, 0, paths.size());
    const Containment containment = containersOf(paths);
    // How many paths inside each class of copies are still to be cut.
    std::vector<int> waitingFor(containment.firsts.size() - 1, 0);
    for (size_t c = 0; c + 1 < containment.firsts.size(); ++c) {
        for (int k = containment.offsets[c]; k < containment.offsets[c + 1]; ++k)
            waitingFor[size_t(containment.outers[size_t(k)])] += containment.firsts[c + 1] - containment.firsts[c];
    }
    std::vector<int> ready;
    for (int i = 0; i < paths.size(); ++i) {
        const int c = containment.classOf[size_t(i)];
        if (c >= 0 && waitingFor[size_t(c)] == 0)
            ready.push_back(i);
    }
    PathEnds ends(paths);
    ends.addAll(ready);
    ready = std::vector<int>();

    CutPaths ordered;
    ordered.reserve(paths.size());
    QPointF at = start;
    while (!ends.isEmpty()) {
        stepProgress(progress, ConversionStage::Ordering, ordered.size(), paths.size());
        if (progressCancelled(progress))
            return ordered;
        bool reversed = false;
        const int index = ends.nearest(at, &reversed);
        ends.remove(index);
        ordered << paths[index];
        CutPath& next = ordered.last();
        if (next.closed)
            startNearest(&next, at);
        else if (reversed)
            std::reverse(next.points.begin(), next.points.end());
        at = next.points.last();
        const size_t own = size_t(containment.classOf[size_t(index)]);
        for (int k = containment.offsets[own]; k < containment.offsets[own + 1]; ++k) {
            const size_t outer = size_t(containment.outers[size_t(k)]);
            if (--waitingFor[outer] == 0) {
                for (int m = containment.firsts[outer]; m < containment.firsts[outer + 1]; ++m)
                    ends.add(containment.members[size_t(m)]);
            }
        }
    }
    stepProgress(progress, ConversionStage::Ordering, paths.size(), paths.size());
    // A path with a point at infinity or not a number has no place by distance.
    for (const CutPath& path : paths) {
        if (!path.points.isEmpty() && !isIndexable(path))
            ordered << path;
    }
    return ordered;
}

} // namespace ktconv
