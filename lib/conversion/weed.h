#ifndef WEED_H
#define WEED_H

#include "cutpath.h"

#include <QRectF>
#include <QVector>

namespace ktconv {

// Cuts that help peel the waste off: a rectangle `margin` around each design's box, and from
// the middle of each side of it a line straight out through the waste that stops at the next
// design's rectangle or at `frame`, so the waste comes off in pieces. No cut enters a
// design's box.
CutPaths weedLines(const QVector<QRectF>& designs, const QRectF& frame, double margin);
// The margin of those rectangles between designs `gap` apart: a third of it, so that the
// rectangles of neighbours do not meet and a line runs between them.
inline double weedLineMargin(double gap)
{
    return gap / 3;
}

} // namespace ktconv

#endif // WEED_H
