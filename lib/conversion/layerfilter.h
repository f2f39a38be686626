#ifndef LAYERFILTER_H
#define LAYERFILTER_H

#include "cutpath.h"

#include <QByteArray>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

namespace ktconv {

// What of a drawing is cut: the editor's layers by label (a DXF's by name), and the
// colours of fill or stroke. Empty: all of it.
struct DrawingChoice
{
    QStringList layers;
    QVector<QRgb> colours;
    // A part of what is chosen, read apart from the rest (the layers of a perforated cut):
    // of the chosen layers only these (empty: no further choice), and without these.
    QStringList within;
    QStringList leftOut;
    // Every layer named, for the refusal of one the drawing does not have.
    QStringList named() const { return layers + within + leftOut; }
    bool namesLayers() const { return !named().isEmpty(); }
};

// What a drawing holds to choose from, in the drawing's order.
struct DrawingParts
{
    QVector<QPair<QString, int>> layers; // name, paths cut when it alone is chosen
    QVector<QPair<QRgb, int>> colours;   // colour, paths drawn in it
};

// Colours as "#RRGGBB" (or any name a colour has), comma-separated. False with a message
// naming the first that is not one.
bool parseColours(const QString& text, QVector<QRgb>* colours, QString* error);
QString colourName(QRgb colour);

// The labels of an SVG drawing's layers (groups an editor marks as layers), in order.
QStringList svgLayers(const QByteArray& svg);
// The drawing with only the chosen layers to draw; the rest is kept as definitions, so
// clones of it still resolve. Shapes outside every layer are left out with them.
QByteArray keepSvgLayers(const QByteArray& svg, const QStringList& layers);

// The drawing with the layers left out moved among the definitions (clones of their
// shapes still resolve); the rest stays as it is.
QByteArray dropSvgLayers(const QByteArray& svg, const QStringList& layers);
// The drawing as the choice has it: without the layers left out, of the layers chosen,
// only those within.
QByteArray chooseSvgLayers(const QByteArray& svg, const DrawingChoice& choice);

// Each colour with the number of paths drawn in it (fill or stroke), in order of first use.
QVector<QPair<QRgb, int>> colourCounts(const CutPaths& paths);
// Keeps the paths filled or stroked in one of the colours; false with a message naming the
// drawing's colours when one asked for is not in it.
bool keepColours(CutPaths* paths, const QVector<QRgb>& colours, QString* error);

// A refusal of layers not in the drawing, listing the ones it has.
bool knownLayers(const QStringList& asked, const QStringList& present, QString* error);

} // namespace ktconv

#endif // LAYERFILTER_H
