#ifndef SVGREADER_H
#define SVGREADER_H

#include "cutpath.h"

#include <QByteArray>
#include <QSizeF>
#include <QString>

namespace ktconv {

struct SvgDrawing
{
    CutPaths paths;     // plotter units, y up, in document order
    QSizeF pageMm;      // the document's page
    int shapes = 0;     // visible shapes whose outlines were taken
    int textRuns = 0;   // text runs taken as glyph outlines
};

// True when the bytes start like an SVG document (an XML prolog or comment, then <svg).
bool looksLikeSvg(const QByteArray& content);

// Every visible shape's outline once, whatever its fill and stroke, with all transforms,
// <use> clones, the viewBox and the document's units applied; curves flattened to about
// half a plotter unit. Text comes as glyph outlines (a QGuiApplication must exist for the
// fonts; without one a drawing with text is refused).
bool readSvg(const QByteArray& content, SvgDrawing* drawing, QString* error);

} // namespace ktconv

#endif // SVGREADER_H
