#ifndef KTTASKRECORD_P_H
#define KTTASKRECORD_P_H

#include "ktglobal.h"

#include <QJsonObject>
#include <QString>

class KTDeviceInterface;
class KTDeviceProperty;

// The record of the running task that the TASK property holds, with the keys the host reads:
// "Status", "FileName", "TaskCopies" (copies ordered), "Finished" (copies done) and "Percent".
// The cutter's task reports fill it, the job flow counts copies in it, ending a task resets it.
// Exported for tools that follow a job through the record.
namespace KTTaskRecord {

// The values of "Status".
enum Status {
    Idle = 0, // no task, or the last one ended
    Cutting = 1,
    Paused = 2,
    Stopped = 3,
};

KTRV8_EXPORT QString statusKey();
KTRV8_EXPORT QString fileNameKey();
KTRV8_EXPORT QString copiesKey();
KTRV8_EXPORT QString finishedKey();
KTRV8_EXPORT QString percentKey();

// Missing fields count as 0.
KTRV8_EXPORT int copies(const QJsonObject& record);
KTRV8_EXPORT int finished(const QJsonObject& record);

// The record's state in a word: "cutting", "paused", "stopped", "done" (ended with every
// copy made) or "idle".
KTRV8_EXPORT QString statusName(const QJsonObject& record);

// A device that has run no task yet.
KTRV8_EXPORT QJsonObject idle();
// Stores a task report's fields, keeping every other key of the record.
KTRV8_EXPORT void setReport(QJsonObject* record, int status, const QString& fileName, int copies, int finished,
                            int percent);
// Counts the copy just finished: the task ends with the last copy ordered, or at once when
// no further copy may start (moreAllowed false). True when the next copy is to start.
KTRV8_EXPORT bool countCopy(QJsonObject* record, bool moreAllowed);
// What ending a task leaves: no file, nothing ordered, nothing left to do.
KTRV8_EXPORT void reset(QJsonObject* record);

} // namespace KTTaskRecord

// TASK_START_TIME, the time the running task began; created on the first start of a task.
KTDeviceProperty* kt_task_start_time(KTDeviceInterface* device);

#endif // KTTASKRECORD_P_H
