#ifndef DXFCURVES_H
#define DXFCURVES_H

#include "cutpath.h"

#include <QPointF>
#include <QVector>

namespace ktconv {

// Curves as polylines close to them within `tolerance` (in the points' units).
QVector<QPointF> arcPoints(QPointF centre, QPointF major, double ratio, double start, double end, double tolerance);
// The points from `from` up to `to` along a polyline segment with this bulge; `from` itself
// is not included.
QVector<QPointF> bulgePoints(QPointF from, QPointF to, double bulge, double tolerance);
// A (rational) B-spline from its knots, control points and weights.
QVector<QPointF> splinePoints(int degree, const QVector<double>& knots, const QVector<QPointF>& control,
                              const QVector<double>& weights, double tolerance);

// Open paths that follow on one another, each starting where the one before ends (within
// `tolerance`) in the same colour, joined into one; closed when it ends where it began.
// Outlines written as one entity per segment are cut in one go, without lifting.
void joinFollowingPaths(CutPaths* paths, double tolerance);

} // namespace ktconv

#endif // DXFCURVES_H
