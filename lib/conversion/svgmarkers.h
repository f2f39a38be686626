#ifndef SVGMARKERS_H
#define SVGMARKERS_H

#include <QDomElement>
#include <QHash>

namespace ktconv {

// Places a copy of each marker a path, line, polyline or polygon names (marker-start,
// -mid, -end) at its vertices, turned as orient says and sized by markerUnits, as a group
// after the shape. Elements carry their computed style in style="".
void placeMarkers(QDomElement root, const QHash<QString, QDomElement>& ids);

} // namespace ktconv

#endif // SVGMARKERS_H
