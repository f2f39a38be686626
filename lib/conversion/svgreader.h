#ifndef SVGREADER_H
#define SVGREADER_H

#include "cutpath.h"

#include <QByteArray>
#include <QSizeF>
#include <QString>
#include <QStringList>

namespace ktconv {

struct SvgDrawing
{
    CutPaths paths;       // plotter units, y up, in document order
    QSizeF pageMm;        // the document's page
    int shapes = 0;       // visible shapes whose outlines were taken
    QStringList warnings; // what the drawing holds that is not cut
};

// True when the bytes start like an SVG document (an XML prolog or comment, then <svg).
bool looksLikeSvg(const QByteArray& content);

// Every visible shape's outline once, whatever its fill and stroke, with all transforms,
// <use> clones, the viewBox and the document's units applied; curves flattened to about
// half a plotter unit. Text is cut as the outlines of its glyphs in the font the system
// matches to the drawing's (a QGuiApplication must exist for the fonts; without one a
// drawing with text is refused). Images, clip paths, masks and filters are not cut.
bool readSvg(const QByteArray& content, SvgDrawing* drawing, QString* error);

} // namespace ktconv

#endif // SVGREADER_H
