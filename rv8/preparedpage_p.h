#ifndef PREPAREDPAGE_H
#define PREPAREDPAGE_H

#include "ktdeviceinterface.h"

#include <QByteArray>
#include <QString>

class KTDeviceProperty;

// The write frame of a job's next page, built while the cutter is busy with the page before
// it, so that the cutter's readiness reply only has to send it. Holds one frame at most.
class KTPreparedPage
{
public:
    // Builds the frame that `job` would send with `page` (page `index` of the job) as its value.
    void prepare(const KTDeviceProperty* job, int index, const QString& page);
    // The frame `job` sends now: the prepared one when it was built for page `index` and the
    // job property still holds that page and encodes it the same way, else a fresh one.
    QByteArray take(const KTDeviceProperty* job, int index);
    void clear();

private:
    bool fits(const KTDeviceProperty* job, int index) const;

    QByteArray frame;
    QString page; // shares the job's text: no copy
    const KTDeviceProperty* property = nullptr;
    int pageIndex = -1;
    KTDeviceInterface::KTDeviceCMDType kind = KTDeviceInterface::UnCMD;
    int setCode = 0;
};

#endif // PREPAREDPAGE_H
