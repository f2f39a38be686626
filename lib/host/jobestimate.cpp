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

QString durationText(double seconds)
{
    const qint64 s = qint64(seconds + 0.5);
    return s >= 3600 ? QStringLiteral("%1:%2:%3")
                           .arg(s / 3600)
                           .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                           .arg(s % 60, 2, 10, QLatin1Char('0'))
                     : QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}
