#ifndef MATERIAL_H
#define MATERIAL_H

#include <QRectF>
#include <QString>

namespace ktconv {

// The piece the cutter cuts into, in millimetres: a sheet, or a roll (no length).
struct Material
{
    double widthMm = 0;  // 0: not known, nothing is checked
    double lengthMm = 0; // 0: a roll
    bool known() const { return widthMm > 0; }
};

// "WIDTH" (a roll) or "WIDTHxLENGTH", in millimetres. False with a message otherwise.
bool parseMaterial(const QString& text, Material* material, QString* error);
QString materialText(const Material& material);

// Where a job's cuts reach on the material, in millimetres from its origin: the right and
// top edges of `bounds` (plotter units), never less than the job's own size.
QSizeF jobExtentMm(const QRectF& bounds);
// Empty when a job reaching `extentMm` fits the material; otherwise why not, both sizes named.
QString materialRefusal(const QSizeF& extentMm, const Material& material);
// The largest factor (at most 1) that brings `extentMm` within the material, aspect kept.
double fitFactor(const QSizeF& extentMm, const Material& material);

} // namespace ktconv

#endif // MATERIAL_H
