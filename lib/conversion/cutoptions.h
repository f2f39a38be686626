#ifndef CUTOPTIONS_H
#define CUTOPTIONS_H

#include "conversionprogress.h"
#include "cutpath.h"

#include <QPointF>
#include <QStringList>

namespace ktconv {

// What the cutter owner asks of a job; lengths in millimetres. Everything is off by
// default except the ordering of the paths.
struct CutOptions
{
    double scale = 1;            // ignored when width or height is given
    double widthMm = 0;          // fit to this width (0: not asked), aspect kept
    double heightMm = 0;         // fit to this height (0: not asked), aspect kept
    int rotate = 0;              // 0, 90, 180 or 270 degrees clockwise
    bool mirror = false;         // left-right, for material cut from the back
    QPointF originMm;            // where the lower-left corner of the job lands
    double weedBoxMm = 0;        // margin of a rectangle around the design, cut last (0: none)
    double overcutMm = 0;        // closed paths continue past their start by this much
    double toolOffsetMm = 0;     // drag knife: distance of the blade tip behind its axis
    bool keepOrder = false;      // cut in the drawing's order instead of inner-first, nearest-next
    bool weld = false;           // overlapping closed outlines united first (weld.h)
    bool weedLines = false;      // cuts through the waste between the designs and around each
    double perforateCutMm = 0;   // each path cut in pieces this long (0: whole) ...
    double perforateGapMm = 0;   // ... with this much left standing between them
    QStringList perforateLayers; // ... only the paths of these layers (empty: every path)
};

// The paths as the cutter should cut them: scaled, rotated, mirrored, placed at the origin,
// ordered, with the weed box, overcut and knife offset applied. False with a message when
// an option cannot apply (an unknown rotation, a size for an empty drawing).
// `progress` hears how far the ordering got.
bool applyCutOptions(CutPaths* paths, const CutOptions& options, QString* error,
                     ConversionProgress* progress = nullptr);

// The same in two steps, for designs laid out together in between: the first checks the
// options and scales, turns and mirrors one design; the second places the designs (their
// boxes given) at the origin and adds what the cutter needs, for all of them at once.
// `applied` and the second's result: the map each step moved the designs by, for what is
// drawn under them (a traced picture).
bool shapeDesign(CutPaths* paths, const CutOptions& options, QString* error, QTransform* applied = nullptr);
QTransform finishPaths(CutPaths* paths, QVector<QRectF> designBoxes, const CutOptions& options, double gapMm,
                       ConversionProgress* progress = nullptr);
// How far the weed box or the weed lines' rectangles stand off the designs (mm): the
// designs are placed this far from the origin.
double weedMarginMm(const CutOptions& options, double gapMm);

} // namespace ktconv

#endif // CUTOPTIONS_H
