#ifndef PREVIEW_H
#define PREVIEW_H

#include "hpglreader.h"

#include <QString>

namespace ktconv {

// How the cutter lays a job out on the material: pages one after the other down the sheet,
// 10 mm apart, and each further copy of the whole job below the last, its spacing between
// copies apart. Each page keeps its own origin at the left.
struct PreviewLayout
{
    int copies = 1;
    double copyGapMm = 20; // the cutter's spacing between copies on one sheet
    double pageGapMm = 10;
};

// Draws the job as it would be cut: cuts in one colour, pen-up travel dashed in another,
// each path's place in the cut order at its start. The format follows the file's suffix
// (.png or .svg). Order numbers in a PNG need a QGuiApplication for the font.
bool writePreview(const PlotterPages& pages, const PreviewLayout& layout, const QString& fileName, QString* error);

} // namespace ktconv

#endif // PREVIEW_H
