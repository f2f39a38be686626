#ifndef SVGREADER_H
#define SVGREADER_H

#include "conversionprogress.h"
#include "cutpath.h"
#include "svgtextshape.h"

#include <QByteArray>
#include <QSizeF>
#include <QString>
#include <QStringList>

namespace ktconv {

struct SvgDrawing
{
    CutPaths paths;                      // plotter units, y up, in document order
    QSizeF pageMm;                       // the document's page
    int shapes = 0;                      // visible shapes whose outlines were taken
    QStringList warnings;                // what the drawing holds that is not cut
    QVector<MissingGlyph> missingGlyphs; // characters of its text no installed font has: not cut
};

// True when the bytes start like an SVG document (an XML prolog or comment, then <svg),
// also gzipped (.svgz).
bool looksLikeSvg(const QByteArray& content);

// Every visible shape's outline once, whatever its fill and stroke, with all transforms,
// clones, symbols, markers, nested viewports, the viewBox with its preserveAspectRatio and
// the document's units applied; curves flattened to about half a plotter unit. Shapes that
// cannot be seen are left out. Text is laid out here and cut as its glyphs' outlines in the
// fonts the system matches (a QGuiApplication must exist for the fonts; without one a
// drawing with text is refused); characters no font has are left out and listed in
// `missingGlyphs`.
// Images, filters, clip paths and masks are not applied (clipped shapes are cut whole, with
// a warning). A drawing reaching past the plotter's 32-bit coordinates is refused. The
// progress, if any, is told how far the reading got.
bool readSvg(const QByteArray& content, SvgDrawing* drawing, QString* error, ConversionProgress* progress = nullptr);

} // namespace ktconv

#endif // SVGREADER_H
