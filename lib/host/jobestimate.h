#ifndef JOBESTIMATE_H
#define JOBESTIMATE_H

#include "measure.h"

#include <QString>

// How long a page keeps the cutter busy: the lengths the head travels with the blade down
// and up, at speedMmPerS (a speed the cutter did not report counts as 100 mm/s).
double estimateSeconds(const ktconv::Measure& page, int speedMmPerS);
// Seconds as the host and the window show them: "m:ss", or "h:mm:ss" from an hour on.
QString durationText(double seconds);

#endif // JOBESTIMATE_H
