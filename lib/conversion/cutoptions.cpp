#include "cutoptions.h"

#include "knife.h"
#include "pathorder.h"

#include <QString>

namespace ktconv {
namespace {

bool sizeFactor(const QRectF& bounds, const CutOptions& options, double* factor, QString* error)
{
    *factor = options.scale;
    if (options.widthMm <= 0 && options.heightMm <= 0)
        return true;
    // After a quarter turn the drawing's height becomes the job's width.
    const bool quarter = options.rotate == 90 || options.rotate == 270;
    const double w = (quarter ? bounds.height() : bounds.width()) / UnitsPerMm;
    const double h = (quarter ? bounds.width() : bounds.height()) / UnitsPerMm;
    double fit = 0;
    if (options.widthMm > 0 && w > 0)
        fit = options.widthMm / w;
    if (options.heightMm > 0 && h > 0)
        fit = fit > 0 ? std::min(fit, options.heightMm / h) : options.heightMm / h;
    if (fit <= 0) {
        *error = QStringLiteral("the drawing has no extent to fit to the width or height asked");
        return false;
    }
    *factor = fit;
    return true;
}

CutPath weedBox(const QRectF& design, double margin)
{
    const QRectF box = design.adjusted(-margin, -margin, margin, margin);
    CutPath path;
    path.points = {box.topLeft(), box.topRight(), box.bottomRight(), box.bottomLeft(), box.topLeft()};
    path.closed = true;
    return path;
}

} // namespace

bool applyCutOptions(CutPaths* paths, const CutOptions& options, QString* error, ConversionProgress* progress)
{
    if (options.rotate % 90 != 0 || options.rotate < 0 || options.rotate > 270) {
        *error = QStringLiteral("rotation must be 0, 90, 180 or 270 degrees, not %1").arg(options.rotate);
        return false;
    }
    if (options.scale <= 0 || options.weedBoxMm < 0 || options.overcutMm < 0 || options.toolOffsetMm < 0) {
        *error = QStringLiteral("scale must be above 0 and lengths may not be negative");
        return false;
    }
    double factor = 1;
    if (!sizeFactor(boundsOf(*paths), options, &factor, error))
        return false;
    // HP-GL's y grows upwards, so a clockwise turn is a negative angle.
    QTransform shape = QTransform::fromScale(factor, factor);
    shape *= QTransform().rotate(-options.rotate);
    if (options.mirror)
        shape *= QTransform::fromScale(-1, 1);
    transformPaths(paths, shape);

    const double margin = options.weedBoxMm * UnitsPerMm;
    const QRectF design = boundsOf(*paths);
    const QPointF corner = options.originMm * UnitsPerMm + QPointF(margin, margin);
    transformPaths(paths, QTransform::fromTranslate(corner.x() - design.left(), corner.y() - design.top()));

    if (!options.keepOrder)
        *paths = orderPaths(*paths, options.originMm * UnitsPerMm, progress);
    if (margin > 0 && !paths->isEmpty())
        *paths << weedBox(boundsOf(*paths), margin);
    for (CutPath& path : *paths) {
        if (options.overcutMm > 0)
            addOvercut(&path, options.overcutMm * UnitsPerMm);
        if (options.toolOffsetMm > 0)
            path = withToolOffset(path, options.toolOffsetMm * UnitsPerMm);
    }
    return true;
}

} // namespace ktconv
