#ifndef PREPAREDPAGE_H
#define PREPAREDPAGE_H

#include "ktdeviceinterface.h"
#include "ktdeviceproperty_p.h"

#include <QByteArray>
#include <QMetaObject>
#include <QString>

#include <functional>

class KTDeviceProperty;
class QTcpSocket;

// The write frame of a job's next page, built while the cutter is busy with the page before
// it, so that the cutter's readiness reply only has to send it. Holds one frame at most.
class KTRV8_EXPORT KTPreparedPage
{
public:
    // Builds the frame that `job` would send with `page` (page `index` of the job) as its value.
    void prepare(const KTDeviceProperty* job, int index, const QString& page);
    // Clears, then runs build (which prepares) once, as soon as `socket` has handed the kernel
    // all it holds (at once if it holds nothing): building while the page before is still
    // going out would hold back that page's rest.
    void prepareWhenSent(QTcpSocket* socket, std::function<void()> build);
    // Gives `job` page `index` as setValue would; the page prepared here was compared with the
    // job's values when it was built, so a megabyte page is not read again to set it.
    void setPage(KTDeviceProperty* job, int index, const QString& page) const;
    // The frame `job` sends now: the prepared one when it was built for page `index` and the
    // job property still holds that page and encodes it the same way, else a fresh one.
    QByteArray take(const KTDeviceProperty* job, int index);
    void clear();

    KTPreparedPage() = default;
    KTPreparedPage(const KTPreparedPage&) = delete;
    KTPreparedPage& operator=(const KTPreparedPage&) = delete;
    ~KTPreparedPage() { clear(); }

private:
    bool fits(const KTDeviceProperty* job, int index) const;
    void forget();

    QByteArray frame;
    QString page; // shares the job's text: no copy
    const KTDeviceProperty* property = nullptr;
    int pageIndex = -1;
    KTDeviceInterface::KTDeviceCMDType kind = KTDeviceInterface::UnCMD;
    int setCode = 0;
    // Kept after take() until the next page is prepared: the strings it holds may be the
    // last references to a page already replaced, freed then, after the send.
    KTValueAhead value;
    QMetaObject::Connection whenSent;
};

#endif // PREPAREDPAGE_H
