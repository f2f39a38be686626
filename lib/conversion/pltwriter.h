#ifndef PLTWRITER_H
#define PLTWRITER_H

#include "cutpath.h"

#include <QByteArray>

namespace ktconv {

// One PLT page: "IN;PA;", each path as PU to its start and PD through its points with
// integer coordinates, back to 0,0, then "PG;". Points that round onto the previous one
// are dropped; a path that rounds to a single point is skipped.
QByteArray writePltPage(const CutPaths& paths);

} // namespace ktconv

#endif // PLTWRITER_H
