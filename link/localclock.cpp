#include "localclock_p.h"

#include <limits>

QDateTime kt_local_time(qint64 msecsSinceEpoch)
{
    // Keyed by the instant itself, so a change of offset (daylight saving) is never missed.
    thread_local qint64 lastMSecs = std::numeric_limits<qint64>::min();
    thread_local QDateTime last;
    if (msecsSinceEpoch != lastMSecs) {
        last = QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch, Qt::LocalTime);
        lastMSecs = msecsSinceEpoch;
    }
    return last;
}

QDateTime kt_local_now()
{
    return kt_local_time(QDateTime::currentMSecsSinceEpoch());
}
