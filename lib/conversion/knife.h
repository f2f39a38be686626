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

} // namespace ktconv

#endif // KNIFE_H
