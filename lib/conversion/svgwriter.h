#ifndef SVGWRITER_H
#define SVGWRITER_H

#include <QByteArray>

class QDomDocument;

namespace ktconv {

// The normalized document as UTF-8 for Qt's SVG parser, written straight into bytes (not
// through a UTF-16 copy of the whole text). An element inside a group that has exactly its
// group's style, all of it properties a child inherits, is written without it: thousands of
// shapes in one group then cost the parser no style of their own. Comments, processing
// instructions and the document type (its entities are already expanded) are left out.
QByteArray writeSvgDocument(const QDomDocument& document);

} // namespace ktconv

#endif // SVGWRITER_H
