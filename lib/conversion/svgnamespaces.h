#ifndef SVGNAMESPACES_H
#define SVGNAMESPACES_H

#include <QByteArray>

namespace ktconv {

// Qt's namespace-aware DOM parser binds an attribute's prefix only to declarations it has
// already read, so in `<svg version="1.1" inkscape:version="1.2" xmlns:inkscape="…">` (the
// order the vector editor writes its root in) the second attribute loses its namespace,
// collides with the first, and is written back as a second `version` that no XML reader
// accepts. The root's namespace declarations are moved ahead of its other attributes;
// the document is returned as it is when they already are.
QByteArray declarationsFirst(const QByteArray& document);

} // namespace ktconv

#endif // SVGNAMESPACES_H
