#ifndef PATHORDER_H
#define PATHORDER_H

#include "conversionprogress.h"
#include "cutpath.h"

namespace ktconv {

// Every path after the paths it contains (a letter's counter before its outline, so the
// material stays put while it is cut), otherwise the nearest path next, starting from
// `start`: a closed path is reached by its first point and then starts at its vertex
// nearest the knife; an open one by either end, running reversed from its last. On equal
// distances the path first in the drawing goes first. Paths without points are left out;
// paths with a coordinate that is not a finite number come last, in the drawing's order.
// Time grows with n log n (plus the number of nested pairs). `progress` hears of each path
// placed; once it is cancelled the order stops short and holds only the paths placed.
CutPaths orderPaths(const CutPaths& paths, QPointF start, ConversionProgress* progress = nullptr);

// Whether `point` lies inside the closed polygon (even-odd rule).
bool containsPoint(const CutPath& polygon, QPointF point);

} // namespace ktconv

#endif // PATHORDER_H
