#include "jobestimate.h"

#include "hpglreader.h"

#include <cmath>

namespace {

class Head : public ktconv::PlotterPen
{
public:
    PageGeometry geometry;

    void moved(const QPointF& from, const QPointF& to, bool down) override
    {
        const double mm = std::hypot(to.x() - from.x(), to.y() - from.y()) / ktconv::UnitsPerMm;
        (down ? geometry.penDownMm : geometry.penUpMm) += mm;
    }
};

} // namespace

PageGeometry measurePage(QStringView page)
{
    Head head;
    ktconv::followPlotterText(page, head);
    return head.geometry;
}

double estimateSeconds(const PageGeometry& geometry, int speedMmPerS)
{
    const double speed = speedMmPerS > 0 ? speedMmPerS : 100.0;
    return (geometry.penDownMm + geometry.penUpMm) / speed;
}
