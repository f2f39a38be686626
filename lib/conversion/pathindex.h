#ifndef PATHINDEX_H
#define PATHINDEX_H

#include "cutpath.h"

#include <memory>
#include <vector>

namespace ktconv {

// A path with points, all of them finite: the only kind the indexes take (a NaN is equal
// to nothing, so it could never be found again to be taken out).
bool isIndexable(const CutPath& path);

// For every indexable path, the indexable closed paths around it: those whose box holds the path's box, is
// larger, and whose outline holds the path's first point (even-odd rule). Path i's
// containers are outers[offsets[i]] up to outers[offsets[i + 1]]. Only the boxes that hold
// a path's box are looked at, through an R-tree, so the cost grows with n log n plus the
// number of nested pairs.
struct Containment
{
    std::vector<int> offsets;
    std::vector<int> outers;
};
Containment containersOf(const CutPaths& paths);

// The ends of the paths that may be cut next, for "which one is nearest the knife": a
// closed path by its first point, an open one by both ends. Paths are added as they become
// ready and taken out when cut.
class PathEnds
{
public:
    explicit PathEnds(const CutPaths& paths);
    ~PathEnds();
    PathEnds(const PathEnds&) = delete;
    PathEnds& operator=(const PathEnds&) = delete;

    // Adds many at once (packed, faster to search than one by one).
    void addAll(const std::vector<int>& indexes);
    void add(int index);
    void remove(int index);
    bool isEmpty() const;
    // The ready path with an end nearest `at`; on equal distances the one first in the
    // drawing, and its first point before its last. `reversed`: its last point was nearer.
    int nearest(QPointF at, bool* reversed) const;

private:
    struct Tree;
    const CutPaths& m_paths;
    std::unique_ptr<Tree> m_tree;
};

} // namespace ktconv

#endif // PATHINDEX_H
