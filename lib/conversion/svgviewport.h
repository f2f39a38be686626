#ifndef SVGVIEWPORT_H
#define SVGVIEWPORT_H

#include <QDomElement>
#include <QHash>
#include <QRectF>
#include <QStringList>
#include <QTransform>

namespace ktconv {

// The viewBox attribute as a rectangle; invalid when absent or unreadable.
QRectF viewBoxOf(const QDomElement& element);

// How a viewBox maps onto a viewport under preserveAspectRatio ("xMidYMid meet" when empty).
QTransform viewportTransform(const QRectF& viewport, const QRectF& viewBox, const QString& preserveAspectRatio);

// Replaces each <use> outside definitions by a group holding a copy of what it refers to,
// a <symbol> becoming a nested viewport of the use's width and height; then removes every
// <symbol>, which is drawn only through a use. Clones of clones are followed to a depth.
void expandUses(QDomElement root, const QHash<QString, QDomElement>& ids, QStringList* warnings);

// Lengths of shapes in absolute units or percentages of their viewport become user units;
// each nested <svg> becomes a group carrying its viewport's transform.
void resolveGeometry(QDomElement root, const QSizeF& rootViewport);

} // namespace ktconv

#endif // SVGVIEWPORT_H
