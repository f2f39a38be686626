#include "cutoptions.h"

#include "knife.h"
#include "pathorder.h"
#include "perforate.h"
#include "weed.h"

#include <QString>

#include <algorithm>

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

bool shapeDesign(CutPaths* paths, const CutOptions& options, QString* error, QTransform* applied)
{
    if (options.rotate % 90 != 0 || options.rotate < 0 || options.rotate > 270) {
        *error = QStringLiteral("rotation must be 0, 90, 180 or 270 degrees, not %1").arg(options.rotate);
        return false;
    }
    if (options.scale <= 0 || options.weedBoxMm < 0 || options.overcutMm < 0 || options.toolOffsetMm < 0
        || options.perforateCutMm < 0 || options.perforateGapMm < 0) {
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
    if (applied)
        *applied = shape;
    return true;
}

double weedMarginMm(const CutOptions& options, double gapMm)
{
    return std::max(options.weedBoxMm, options.weedLines ? weedLineMargin(gapMm) : 0.0);
}

QTransform finishPaths(CutPaths* paths, QVector<QRectF> designBoxes, const CutOptions& options, double gapMm,
                       ConversionProgress* progress)
{
    const double margin = options.weedBoxMm * UnitsPerMm;
    const double lead = weedMarginMm(options, gapMm) * UnitsPerMm;
    const QRectF design = boundsOf(*paths);
    const QPointF origin = options.originMm * UnitsPerMm;
    const QPointF corner = origin + QPointF(lead, lead);
    const QTransform place = QTransform::fromTranslate(corner.x() - design.left(), corner.y() - design.top());
    transformPaths(paths, place);
    for (QRectF& box : designBoxes)
        box = place.mapRect(box);

    if (!options.keepOrder)
        *paths = orderPaths(*paths, origin, progress);
    const int designPaths = paths->size();
    const QRectF all = boundsOf(*paths);
    if (margin > 0 && !paths->isEmpty())
        *paths << weedBox(all, margin);
    if (options.weedLines && !designBoxes.isEmpty())
        *paths += weedLines(designBoxes, all.adjusted(-lead, -lead, lead, lead), weedLineMargin(gapMm * UnitsPerMm));
    CutPaths cut;
    for (int i = 0; i < paths->size(); ++i) {
        CutPath& path = (*paths)[i];
        if (options.overcutMm > 0)
            addOvercut(&path, options.overcutMm * UnitsPerMm);
        // With layers named for it, only their paths are perforated: the weed cuts and the
        // other layers are cut whole.
        const bool chosen = options.perforateLayers.isEmpty() || (i < designPaths && path.onPerforatedLayer);
        if (chosen && options.perforateCutMm > 0 && options.perforateGapMm > 0)
            cut += perforated(path, options.perforateCutMm * UnitsPerMm, options.perforateGapMm * UnitsPerMm);
        else
            cut << path;
    }
    *paths = cut;
    if (options.toolOffsetMm > 0)
        *paths = withBladeTurns(*paths, options.toolOffsetMm * UnitsPerMm, origin);
    return place;
}

bool applyCutOptions(CutPaths* paths, const CutOptions& options, QString* error, ConversionProgress* progress)
{
    if (!shapeDesign(paths, options, error))
        return false;
    finishPaths(paths, {boundsOf(*paths)}, options, 0, progress);
    return true;
}

} // namespace ktconv
