#ifndef JOBESTIMATE_H
#define JOBESTIMATE_H

#include <QString>
#include <QStringView>

// How long a page keeps the cutter busy, from its geometry: the lengths the head travels
// with the blade down and up (HP-GL plotter units, 40 per mm) at the cutter's SPEED.
struct PageGeometry
{
    double penDownMm = 0;
    double penUpMm = 0;
};

// The moves as the conversion library's plotter reader follows them.
PageGeometry measurePage(QStringView page);
// Seconds at speedMmPerS (a speed the cutter did not report counts as 100 mm/s).
double estimateSeconds(const PageGeometry& geometry, int speedMmPerS);
// Seconds as the host and the window show them: "m:ss", or "h:mm:ss" from an hour on.
QString durationText(double seconds);

#endif // JOBESTIMATE_H
