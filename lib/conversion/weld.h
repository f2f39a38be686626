#ifndef WELD_H
#define WELD_H

#include "cutpath.h"

#include <QPainterPath>

namespace ktconv {

// Overlapping closed outlines united under the nonzero rule, so that touching letters are
// cut as one outline; a counter wound against its letter stays a hole. Every closed path
// counts as a filled outline; open strokes are kept as they are, after the outlines.
void weldPaths(CutPaths* paths);

// The same for outlines still in curves, in millimetres: curves are flattened to within a
// few micrometres first.
QPainterPath weldOutlines(const QPainterPath& outlines);

// The parts of `lines`, taken as strokes (their centre lines, open or closed), that lie
// inside `region` under its fill rule: what a clip leaves of a stroked shape.
QPainterPath clipLines(const QPainterPath& lines, const QPainterPath& region);

} // namespace ktconv

#endif // WELD_H
