#ifndef PDFREADER_H
#define PDFREADER_H

#include "svgreader.h"

#include <QByteArray>
#include <QString>

namespace ktconv {

// True when the bytes hold a PDF header ("%PDF-") in the first kilobyte, where readers
// look for it; editor files saved PDF-compatible start the same way.
bool looksLikePdf(const QByteArray& content);

// One page's vector paths (1 = the first page) at their true size and place, points at 72
// per inch, the page's bottom-left corner at 0,0; text is cut as its glyphs' outlines.
// Pictures are not cut (a warning says how many); a page with nothing but pictures is
// refused with a pointer to tracing. A page number past the last is refused.
bool readPdf(const QByteArray& content, int page, SvgDrawing* drawing, QString* error);

} // namespace ktconv

#endif // PDFREADER_H
