#ifndef PATHORDER_H
#define PATHORDER_H

#include "cutpath.h"

namespace ktconv {

// Every path after the paths it contains (a letter's counter before its outline, so the
// material stays put while it is cut), otherwise the nearest path next, starting from
// `start`. Closed paths start at their vertex nearest the knife; open ones may run reversed.
CutPaths orderPaths(const CutPaths& paths, QPointF start);

// Whether `point` lies inside the closed polygon (even-odd rule).
bool containsPoint(const CutPath& polygon, QPointF point);

} // namespace ktconv

#endif // PATHORDER_H
