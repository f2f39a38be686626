#ifndef CUTOPTIONS_H
#define CUTOPTIONS_H

#include "cutpath.h"

#include <QPointF>

namespace ktconv {

// What the cutter owner asks of a job; lengths in millimetres. Everything is off by
// default except the ordering of the paths.
struct CutOptions
{
    double scale = 1;        // ignored when width or height is given
    double widthMm = 0;      // fit to this width (0: not asked), aspect kept
    double heightMm = 0;     // fit to this height (0: not asked), aspect kept
    int rotate = 0;          // 0, 90, 180 or 270 degrees clockwise
    bool mirror = false;     // left-right, for material cut from the back
    QPointF originMm;        // where the lower-left corner of the job lands
    double weedBoxMm = 0;    // margin of a rectangle around the design, cut last (0: none)
    double overcutMm = 0;    // closed paths continue past their start by this much
    double toolOffsetMm = 0; // drag knife: distance of the blade tip behind its axis
    bool keepOrder = false;  // cut in the drawing's order instead of inner-first, nearest-next
    bool weld = false;       // overlapping closed outlines united first (weld.h)
};

// The paths as the cutter should cut them: scaled, rotated, mirrored, placed at the origin,
// ordered, with the weed box, overcut and knife offset applied. False with a message when
// an option cannot apply (an unknown rotation, a size for an empty drawing).
bool applyCutOptions(CutPaths* paths, const CutOptions& options, QString* error);

} // namespace ktconv

#endif // CUTOPTIONS_H
