#ifndef CUTPATH_H
#define CUTPATH_H

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QTransform>
#include <QVector>

namespace ktconv {

// Plotter units per millimetre: the cutter's HP-GL resolution.
constexpr double UnitsPerMm = 40.0;

// One knife-down stroke in plotter units, y growing upwards (HP-GL orientation).
// A closed path repeats its first point at the end.
struct CutPath
{
    QVector<QPointF> points;
    bool closed = false;
    // The colours the shape was drawn in (opaque RGB), 0 where it has no fill or no stroke:
    // what a choice of colours goes by.
    QRgb fill = 0;
    QRgb stroke = 0;
    // On a layer chosen for a perforated cut: with such layers named, only these paths are.
    bool onPerforatedLayer = false;
};
using CutPaths = QVector<CutPath>;

double pathLength(const CutPath& path);
double penDownLength(const CutPaths& paths);
// Pen-up distance from `from` to the first stroke and between the strokes, in order.
double travelLength(const CutPaths& paths, QPointF from = QPointF());
QRectF boundsOf(const CutPaths& paths);
QRectF boundsOf(const CutPath& path);
void transformPaths(CutPaths* paths, const QTransform& transform);

} // namespace ktconv

#endif // CUTPATH_H
