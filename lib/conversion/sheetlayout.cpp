#include "sheetlayout.h"

#include "cutpath.h"

#include <algorithm>

namespace ktconv {

QPointF SheetLayout::Place::toSheet(const QPointF& plotter) const
{
    return QPointF(BorderMm + plotter.x() / UnitsPerMm, topMm + heightMm - plotter.y() / UnitsPerMm);
}

SheetLayout::Place SheetLayout::nextPage(const QRectF& bounds)
{
    Place place;
    place.topMm = top;
    place.widthMm = std::max(0.0, bounds.right() / UnitsPerMm);
    place.heightMm = std::max(0.0, bounds.bottom() / UnitsPerMm);
    width = std::max(width, place.widthMm);
    top += place.heightMm + PageGapMm;
    ++pages;
    return place;
}

void SheetLayout::newCopy(double gapMm)
{
    if (pages > 0)
        top += gapMm - PageGapMm;
}

QSizeF SheetLayout::sizeMm() const
{
    const double height = pages > 0 ? top - PageGapMm + BorderMm : 2 * BorderMm;
    return QSizeF(2 * BorderMm + width, std::max(height, 2 * BorderMm));
}

} // namespace ktconv
