#ifndef DESIGNSHEET_H
#define DESIGNSHEET_H

#include "arrange.h"
#include "cutoptions.h"
#include "material.h"

#include <QStringList>

namespace ktconv {

// How designs go onto the material: which material, how many of each, how they are laid
// out, and whether a job too big for it is scaled down rather than refused.
struct SheetOptions
{
    Material material;
    bool fit = false;
    int repeat = 1;
    ArrangeOptions arrange; // its width is the material's
};

// The designs (each shaped by shapeDesign) laid out on the material and finished with the
// cutter options, as one page. False with a message when the job does not fit the material
// (its size and the material's named) or a design is wider than it. `notes` say what was
// changed to make it fit and which arrangement was used. `progress` hears the ordering;
// `placements`, when given, receives the map from each design as given to its place in the
// job, design after design and each design's repeats together.
bool layOutSheet(const QVector<CutPaths>& designs, const CutOptions& cut, const SheetOptions& sheet, CutPaths* job,
                 QString* error, QStringList* notes, ConversionProgress* progress = nullptr,
                 QVector<QTransform>* placements = nullptr);

} // namespace ktconv

#endif // DESIGNSHEET_H
