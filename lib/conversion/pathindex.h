#ifndef PATHINDEX_H
#define PATHINDEX_H

#include "cutpath.h"

#include <memory>
#include <vector>

namespace ktconv {

// A path with points, all of them finite: the only kind the indexes take (a NaN is equal
// to nothing, so it could never be found again to be taken out).
bool isIndexable(const CutPath& path);

// The indexable paths in classes of exact copies (the same points, both closed or both
// open): copies are contained by the same shapes and contain the same ones, so each class
// is searched once and a stack of copies costs no more than one of them. For each class,
// the classes of closed paths around it: those whose box holds its box, is larger, and
// whose outline holds its first point (even-odd rule). Class c's containers are
// outers[offsets[c]] up to outers[offsets[c + 1]]; its paths are members[firsts[c]] up to
// members[firsts[c + 1]], in the drawing's order. Only the boxes that hold a class's box
// are looked at, through an R-tree, so the cost grows with n log n plus the number of
// nested pairs of distinct shapes.
struct Containment
{
    std::vector<int> classOf; // -1 for a path that is not indexable
    std::vector<int> firsts;
    std::vector<int> members;
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
    // Ends at one place (stacked copies) are one entry of the tree, so they cost one.
    int nearest(QPointF at, bool* reversed) const;

private:
    struct Tree;
    const CutPaths& m_paths;
    std::unique_ptr<Tree> m_tree;
};

} // namespace ktconv

#endif // PATHINDEX_H
