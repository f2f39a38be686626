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

namespace {

size_t hashOf(const CutPath& path)
{
    size_t h = path.closed ? 1 : 0;
    for (const QPointF& p : path.points)
        h = (h * 1000003) ^ qHash(p.x()) ^ (size_t(qHash(p.y())) << 16);
    return h;
}

// Classes of exact copies, found by sorting the paths by a hash of their points; a class's
// number is its place in the drawing's order of first members.
void classify(const CutPaths& paths, Containment* c)
{
    std::vector<std::pair<size_t, int>> hashed;
    for (int i = 0; i < paths.size(); ++i) {
        if (isIndexable(paths[i]))
            hashed.emplace_back(hashOf(paths[i]), i);
    }
    std::sort(hashed.begin(), hashed.end());
    std::vector<int> firstOf(size_t(paths.size()), -1); // path -> the first path of its class
    for (size_t run = 0, end = 0; run < hashed.size(); run = end) {
        for (end = run; end < hashed.size() && hashed[end].first == hashed[run].first;)
            ++end;
        for (size_t k = run; k < end; ++k) {
            const CutPath& path = paths[hashed[k].second];
            int& first = firstOf[size_t(hashed[k].second)];
            for (size_t j = run; j < k && first < 0; ++j) {
                const CutPath& other = paths[hashed[j].second];
                if (firstOf[size_t(hashed[j].second)] == hashed[j].second && other.closed == path.closed
                    && other.points == path.points)
                    first = hashed[j].second;
            }
            if (first < 0)
                first = hashed[k].second;
        }
    }
    hashed = {};
    c->classOf.assign(size_t(paths.size()), -1);
    std::vector<int> count;
    for (size_t i = 0; i < firstOf.size(); ++i) {
        if (firstOf[i] < 0)
            continue;
        if (firstOf[i] == int(i)) {
            c->classOf[i] = int(count.size());
            count.push_back(0);
        } else {
            c->classOf[i] = c->classOf[size_t(firstOf[i])];
        }
        ++count[size_t(c->classOf[i])];
    }
    c->firsts.assign(count.size() + 1, 0);
    for (size_t k = 0; k < count.size(); ++k)
        c->firsts[k + 1] = c->firsts[k] + count[k];
    c->members.resize(size_t(c->firsts.back()));
    std::vector<int> next(c->firsts.begin(), c->firsts.end() - 1);
    for (size_t i = 0; i < c->classOf.size(); ++i) {
        if (c->classOf[i] >= 0)
            c->members[size_t(next[size_t(c->classOf[i])]++)] = int(i);
    }
}

} // namespace

Containment containersOf(const CutPaths& paths)
{
    Containment result;
    classify(paths, &result);
    const size_t classes = result.firsts.size() - 1;
    auto first = [&](size_t c) -> const CutPath& { return paths[result.members[size_t(result.firsts[c])]]; };
    std::vector<BoxEntry> closed;
    for (size_t c = 0; c < classes; ++c) {
        if (first(c).closed)
            closed.emplace_back(boxOf(boundsOf(first(c))), int(c));
    }
    // Built from the whole range at once: packed, smaller and faster to search.
    const bgi::rtree<BoxEntry, bgi::linear<16>> outlines(closed.begin(), closed.end());
    closed = std::vector<BoxEntry>();

    result.offsets.reserve(classes + 1);
    result.offsets.push_back(0);
    std::vector<BoxEntry> around;
    for (size_t c = 0; c < classes; ++c) {
        const Box box = boxOf(boundsOf(first(c)));
        const double area = areaOf(box);
        around.clear();
        outlines.query(bgi::covers(box), std::back_inserter(around));
        for (const BoxEntry& outer : around) {
            if (outer.second != int(c) && areaOf(outer.first) > area
                && containsPoint(first(size_t(outer.second)), first(c).points.first()))
                result.outers.push_back(outer.second);
        }
        result.offsets.push_back(int(result.outers.size()));
    }
    return result;
}

// The ends at one place, as a heap with the least (the first drawn) on top. An end taken
// out below the top is only marked, through its path, and dropped when it comes up.
struct Place
{
    std::vector<quint32> ends;
};

struct PathEnds::Tree
{
    bgi::rtree<EndEntry, bgi::quadratic<16>> places; // a place's point and number
    std::vector<Place> at;
    std::vector<quint32> unused;
    std::vector<bool> taken;      // by path
    std::vector<quint32> placeOf; // by end, while it is in a place

    // The number of the place at `point`, or -1.
    qint64 find(const Point& point) const
    {
        for (auto it = places.qbegin(bgi::intersects(point)); it != places.qend(); ++it)
            return qint64(it->second);
        return -1;
    }
    void push(quint32 place, quint32 end)
    {
        std::vector<quint32>& heap = at[place].ends;
        heap.push_back(end);
        std::push_heap(heap.begin(), heap.end(), std::greater<quint32>());
    }
    void add(const Point& point, quint32 end)
    {
        qint64 place = find(point);
        if (place < 0) {
            if (unused.empty()) {
                unused.push_back(quint32(at.size()));
                at.emplace_back();
            }
            place = unused.back();
            unused.pop_back();
            places.insert(EndEntry(point, quint32(place)));
        }
        placeOf[end] = quint32(place);
        push(quint32(place), end);
    }
    // Drops taken ends off the top; a place left with none leaves the tree.
    void settle(const Point& point, quint32 end)
    {
        const quint32 place = placeOf[end];
        std::vector<quint32>& heap = at[place].ends;
        if (heap.empty())
            return; // left already: an open path's ends may share a place
        while (!heap.empty() && taken[heap.front() / 2]) {
            std::pop_heap(heap.begin(), heap.end(), std::greater<quint32>());
            heap.pop_back();
        }
        if (heap.empty()) {
            heap.shrink_to_fit();
            places.remove(EndEntry(point, place));
            unused.push_back(place);
        }
    }
};

namespace {

Point firstOf(const CutPath& path)
{
    return Point(path.points.first().x(), path.points.first().y());
}

Point lastOf(const CutPath& path)
{
    return Point(path.points.last().x(), path.points.last().y());
}

} // namespace

PathEnds::PathEnds(const CutPaths& paths) : m_paths(paths), m_tree(std::make_unique<Tree>())
{
    m_tree->taken.assign(size_t(paths.size()), false);
    m_tree->placeOf.assign(size_t(paths.size()) * 2, 0);
}

PathEnds::~PathEnds() = default;

void PathEnds::addAll(const std::vector<int>& indexes)
{
    if (!m_tree->places.empty()) {
        for (int index : indexes)
            add(index);
        return;
    }
    std::vector<std::pair<std::pair<double, double>, quint32>> ends;
    ends.reserve(indexes.size());
    for (int index : indexes) {
        const CutPath& path = m_paths[index];
        ends.push_back({{path.points.first().x(), path.points.first().y()}, quint32(index) * 2});
        if (!path.closed)
            ends.push_back({{path.points.last().x(), path.points.last().y()}, quint32(index) * 2 + 1});
    }
    // Sorted by place, then by end: each place's ends come in heap order already.
    std::sort(ends.begin(), ends.end());
    std::vector<EndEntry> entries;
    for (size_t i = 0; i < ends.size(); ++i) {
        if (i == 0 || ends[i].first != ends[i - 1].first) {
            entries.emplace_back(Point(ends[i].first.first, ends[i].first.second), quint32(m_tree->at.size()));
            m_tree->at.emplace_back();
        }
        m_tree->at.back().ends.push_back(ends[i].second);
        m_tree->placeOf[ends[i].second] = quint32(m_tree->at.size() - 1);
    }
    ends = {};
    m_tree->places = decltype(m_tree->places)(entries.begin(), entries.end());
}

void PathEnds::add(int index)
{
    const CutPath& path = m_paths[index];
    m_tree->add(firstOf(path), quint32(index) * 2);
    if (!path.closed)
        m_tree->add(lastOf(path), quint32(index) * 2 + 1);
}

void PathEnds::remove(int index)
{
    const CutPath& path = m_paths[index];
    m_tree->taken[size_t(index)] = true;
    m_tree->settle(firstOf(path), quint32(index) * 2);
    if (!path.closed)
        m_tree->settle(lastOf(path), quint32(index) * 2 + 1);
}

bool PathEnds::isEmpty() const
{
    return m_tree->places.empty();
}

int PathEnds::nearest(QPointF at, bool* reversed) const
{
    // The k nearest places come in no set order. While all k found are as near as the
    // nearest, more may lie at that distance, so ask again for twice as many.
    std::vector<EndEntry> found;
    double best = 0, farthest = 0;
    for (unsigned count = 2;; count *= 2) {
        found.clear();
        m_tree->places.query(bgi::nearest(Point(at.x(), at.y()), count), std::back_inserter(found));
        best = farthest = squaredDistance(found.front().first, at);
        for (const EndEntry& place : found) {
            best = std::min(best, squaredDistance(place.first, at));
            farthest = std::max(farthest, squaredDistance(place.first, at));
        }
        if (found.size() < count || farthest > best)
            break;
    }
    quint32 pick = std::numeric_limits<quint32>::max();
    for (const EndEntry& place : found) {
        if (squaredDistance(place.first, at) == best)
            pick = std::min(pick, m_tree->at[place.second].ends.front());
    }
    *reversed = pick % 2 == 1;
    return int(pick / 2);
}

} // namespace ktconv
