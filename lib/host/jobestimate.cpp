#include "jobestimate.h"

double estimateSeconds(const ktconv::Measure& page, int speedMmPerS)
{
    const double speed = speedMmPerS > 0 ? speedMmPerS : 100.0;
    return (page.cutMm() + page.travelMm()) / speed;
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
