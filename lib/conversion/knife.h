#ifndef KNIFE_H
#define KNIFE_H

#include "cutpath.h"

namespace ktconv {

// A closed path runs on past its start along its own first edges by `length` plotter units,
// so the cut closes even where the blade lifts late. Open paths are left alone.
void addOvercut(CutPath* path, double length);

// The path the knife's axis must follow so that a drag blade whose tip trails the axis by
// `offset` cuts `path`: each edge shifted forward along its direction, and an arc around
// each corner that turns the blade before the next edge.
CutPath withToolOffset(const CutPath& path, double offset);

// Every path with the tool offset, and the blade turned before each path starts: a short
// precut beside the job (right of it) points the blade whatever way it pointed before, and
// at each path's start the axis swings around the start point from where the last path
// left the blade, so the tip stands still while it turns. Nothing ends below `origin`: the
// job moves up and right instead.
CutPaths withBladeTurns(const CutPaths& paths, double offset, QPointF origin);
// How much wider than the paths withBladeTurns makes a job at most: the precut beside it and
// the axis running ahead of the tip on both sides.
double bladeTurnsExtraWidth(double offset);

} // namespace ktconv

#endif // KNIFE_H
