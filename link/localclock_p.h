#ifndef LOCALCLOCK_H
#define LOCALCLOCK_H

#include "ktglobal.h"

#include <QDateTime>

// The local date and time at an instant (milliseconds since the epoch), exactly as
// QDateTime::fromMSecsSinceEpoch(msecs, Qt::LocalTime) gives it. Each thread keeps the last
// one: a reply handler stamps every read, and the time-zone lookup behind a local time (the
// C library checks the zone file on every conversion) costs more than handling the reply.
KTRV8_EXPORT QDateTime kt_local_time(qint64 msecsSinceEpoch);

// kt_local_time of now: what QDateTime::currentDateTime() returns.
KTRV8_EXPORT QDateTime kt_local_now();

#endif // LOCALCLOCK_H
