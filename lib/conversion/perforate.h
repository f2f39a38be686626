#ifndef PERFORATE_H
#define PERFORATE_H

#include "cutpath.h"

namespace ktconv {

// The path cut in pieces `cut` long with `gap` left standing between them, from its start
// along its length (plotter units). A last piece may be shorter.
CutPaths perforated(const CutPath& path, double cut, double gap);

} // namespace ktconv

#endif // PERFORATE_H
