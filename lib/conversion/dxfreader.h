#ifndef DXFREADER_H
#define DXFREADER_H

#include "svgreader.h"

#include <QByteArray>
#include <QString>

namespace ktconv {

// True when the bytes start like an ASCII DXF drawing: group code 0, then SECTION
// (comments before it allowed).
bool looksLikeDxf(const QByteArray& content);

// Lines, polylines with their bulges, arcs, circles, ellipses, splines (evaluated) and
// block inserts with their transforms, in the drawing's $INSUNITS (unitless is read as
// millimetres, with a note). Entities on frozen or switched-off layers are left out.
bool readDxf(const QByteArray& content, SvgDrawing* drawing, QString* error);

} // namespace ktconv

#endif // DXFREADER_H
