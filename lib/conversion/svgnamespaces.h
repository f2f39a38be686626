#ifndef SVGNAMESPACES_H
#define SVGNAMESPACES_H

#include <QDomElement>

namespace ktconv {

// Qt's namespace-aware DOM parser binds an attribute's prefix only to declarations it has
// already read, so in `<svg version="1.1" inkscape:version="1.2" xmlns:inkscape="…">` (the
// order the vector editor writes its root in) the second attribute loses its namespace and
// is written back as a second `version`, which no XML reader accepts. Such attributes are
// the editor's own metadata, never geometry or style: they are dropped, `xml:` ones kept.
void dropUnboundAttributes(QDomElement element);

} // namespace ktconv

#endif // SVGNAMESPACES_H
