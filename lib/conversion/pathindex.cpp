#include "pathindex.h"

#include "pathorder.h"

#include <boost/geometry.hpp>
#include <boost/geometry/index/rtree.hpp>

#include <cmath>

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;

namespace ktconv {
namespace {

using Point = bg::model::point<double, 2, bg::cs::cartesian>;
using Box = bg::model::box<Point>;
using BoxEntry = std::pair<Box, int>;
// A path end: the path's index times two, plus one for its last point.
using EndEntry = std::pair<Point, quint32>;

Box boxOf(const QRectF& r)
{
    return Box(Point(r.left(), r.top()), Point(r.right(), r.bottom()));
}

double areaOf(const Box& b)
{
    return (b.max_corner().get<0>() - b.min_corner().get<0>()) * (b.max_corner().get<1>() - b.min_corner().get<1>());
}

double squaredDistance(const Point& a, QPointF b)
{
    const double dx = a.get<0>() - b.x(), dy = a.get<1>() - b.y();
    return dx * dx + dy * dy;
}

} // namespace

bool isIndexable(const CutPath& path)
{
    for (const QPointF& p : path.points) {
        if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
            return false;
    }
    return !path.points.isEmpty();
}

Containment containersOf(const CutPaths& paths)
{
    std::vector<BoxEntry> closed;
    for (int i = 0; i < paths.size(); ++i) {
        if (paths[i].closed && isIndexable(paths[i]))
            closed.emplace_back(boxOf(boundsOf(paths[i])), i);
    }
    // Built from the whole range at once: packed, smaller and faster to search.
    const bgi::rtree<BoxEntry, bgi::linear<16>> outlines(closed.begin(), closed.end());
    closed = std::vector<BoxEntry>();

    Containment result;
    result.offsets.reserve(size_t(paths.size()) + 1);
    result.offsets.push_back(0);
    std::vector<BoxEntry> around;
    for (int i = 0; i < paths.size(); ++i) {
        if (isIndexable(paths[i])) {
            const Box box = boxOf(boundsOf(paths[i]));
            const double area = areaOf(box);
            around.clear();
            outlines.query(bgi::covers(box), std::back_inserter(around));
            for (const BoxEntry& outer : around) {
                if (outer.second != i && areaOf(outer.first) > area
                    && containsPoint(paths[outer.second], paths[i].points.first()))
                    result.outers.push_back(outer.second);
            }
        }
        result.offsets.push_back(int(result.outers.size()));
    }
    return result;
}

struct PathEnds::Tree
{
    bgi::rtree<EndEntry, bgi::quadratic<16>> ends;
};

PathEnds::PathEnds(const CutPaths& paths) : m_paths(paths), m_tree(std::make_unique<Tree>()) {}

PathEnds::~PathEnds() = default;

void PathEnds::addAll(const std::vector<int>& indexes)
{
    if (!m_tree->ends.empty()) {
        for (int index : indexes)
            add(index);
        return;
    }
    std::vector<EndEntry> entries;
    entries.reserve(indexes.size());
    for (int index : indexes) {
        const CutPath& path = m_paths[index];
        entries.emplace_back(Point(path.points.first().x(), path.points.first().y()), quint32(index) * 2);
        if (!path.closed)
            entries.emplace_back(Point(path.points.last().x(), path.points.last().y()), quint32(index) * 2 + 1);
    }
    m_tree->ends = decltype(m_tree->ends)(entries.begin(), entries.end());
}

void PathEnds::add(int index)
{
    const CutPath& path = m_paths[index];
    m_tree->ends.insert(EndEntry(Point(path.points.first().x(), path.points.first().y()), quint32(index) * 2));
    if (!path.closed)
        m_tree->ends.insert(EndEntry(Point(path.points.last().x(), path.points.last().y()), quint32(index) * 2 + 1));
}

void PathEnds::remove(int index)
{
    const CutPath& path = m_paths[index];
    m_tree->ends.remove(EndEntry(Point(path.points.first().x(), path.points.first().y()), quint32(index) * 2));
    if (!path.closed)
        m_tree->ends.remove(EndEntry(Point(path.points.last().x(), path.points.last().y()), quint32(index) * 2 + 1));
}

bool PathEnds::isEmpty() const
{
    return m_tree->ends.empty();
}

int PathEnds::nearest(QPointF at, bool* reversed) const
{
    // The k nearest come in no set order. While all k found are as near as the nearest,
    // more may lie at that distance, so ask again for twice as many.
    std::vector<EndEntry> found;
    double best = 0, farthest = 0;
    for (unsigned count = 2;; count *= 2) {
        found.clear();
        m_tree->ends.query(bgi::nearest(Point(at.x(), at.y()), count), std::back_inserter(found));
        best = farthest = squaredDistance(found.front().first, at);
        for (const EndEntry& end : found) {
            best = std::min(best, squaredDistance(end.first, at));
            farthest = std::max(farthest, squaredDistance(end.first, at));
        }
        if (found.size() < count || farthest > best)
            break;
    }
    quint32 pick = std::numeric_limits<quint32>::max();
    for (const EndEntry& end : found) {
        if (squaredDistance(end.first, at) == best)
            pick = std::min(pick, end.second);
    }
    *reversed = pick % 2 == 1;
    return int(pick / 2);
}

} // namespace ktconv
