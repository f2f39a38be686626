#ifndef DXFREADER_H
#define DXFREADER_H

#include "layerfilter.h"
#include "svgreader.h"

#include <QByteArray>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

namespace ktconv {

// True when the bytes start like an ASCII DXF drawing: group code 0, then SECTION
// (comments before it allowed).
bool looksLikeDxf(const QByteArray& content);

// Lines, polylines with their bulges, arcs, circles, ellipses, splines (evaluated) and
// block inserts with their transforms, in the drawing's $INSUNITS (unitless is read as
// millimetres, with a note). Entities on frozen or switched-off layers are left out, and
// with a choice of layers those on the others; a layer the drawing does not have is refused.
// `layerCounts`, when given, receives each layer with its entities.
bool readDxf(const QByteArray& content, SvgDrawing* drawing, QString* error,
             const DrawingChoice& choice = DrawingChoice(), QVector<QPair<QString, int>>* layerCounts = nullptr);

} // namespace ktconv

#endif // DXFREADER_H
