#ifndef ARRANGE_H
#define ARRANGE_H

#include "cutpath.h"

#include <QPolygonF>
#include <QString>
#include <QVector>

namespace ktconv {

// How several designs share one piece of material.
enum class Arrangement {
    Rows, // left to right across the width, a new row above when the next does not fit
    Nest, // outlines packed against each other, turned by quarter turns where that is shorter
};

struct ArrangeOptions
{
    double widthMm = 0; // the material's width; 0: no limit, one row
    double gapMm = 5;   // between designs
    Arrangement how = Arrangement::Rows;
};

// The designs on the material: all paths from (0,0), each design's box (plotter units) and
// the material length they take.
struct Arranged
{
    CutPaths paths;
    QVector<QRectF> boxes;
    QVector<QTransform> placements; // each design as given to its place
    double lengthMm = 0;
    Arrangement used = Arrangement::Rows; // nesting falls back to rows where it is no shorter
};

// False with a message when a design is wider than the material whichever way it is turned.
bool arrangeDesigns(const QVector<CutPaths>& designs, const ArrangeOptions& options, Arranged* result, QString* error);

// Where the nester put one outline: turned by quarterTurns x 90 degrees counter-clockwise
// about (0,0), then moved by `offset` (plotter units).
struct NestPlace
{
    int quarterTurns = 0;
    QPointF offset;
};
// Packs the outlines (convex, plotter units) into a strip `width` wide, `gap` apart, as short
// as the nester finds within a bounded number of tries. False when it finds no packing no
// longer than `limit`.
bool nestOutlines(const QVector<QPolygonF>& outlines, double width, double gap, double limit,
                  QVector<NestPlace>* places);

} // namespace ktconv

#endif // ARRANGE_H
