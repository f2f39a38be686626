#ifndef SVGPATHDATA_H
#define SVGPATHDATA_H

#include <QPainterPath>
#include <QString>

class QDomElement;

namespace ktconv {

// Path data for a d="" attribute, with curves kept as curves.
QString pathData(const QPainterPath& path);

// The outline of one shape element (path, rect, circle, ...) in its own user units with its
// own transform applied, read by the same SVG reader that reads the drawing.
QPainterPath shapeOutline(const QDomElement& shape);

} // namespace ktconv

#endif // SVGPATHDATA_H
