#ifndef PLTWRITER_H
#define PLTWRITER_H

#include "conversionprogress.h"
#include "cutpath.h"

#include <QByteArray>

namespace ktconv {

// One PLT page: "IN;PA;", each path as PU to its start and PD through its points with
// integer coordinates, back to 0,0, then "PG;". Points that round onto the previous one
// are dropped; a path that rounds to a single point is skipped. `progress` hears of each
// path written; once it is cancelled the text stops short (and is not a page).
QByteArray writePltPage(const CutPaths& paths, ConversionProgress* progress = nullptr);

} // namespace ktconv

#endif // PLTWRITER_H
