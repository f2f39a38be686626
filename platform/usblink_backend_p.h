#ifndef USBLINK_BACKEND_H
#define USBLINK_BACKEND_H

#include "usblink.h"

#include <QObject>

// The platform half of UsbLink. A backend opens, reads and writes the device without
// blocking and reports through the helpers below; UsbLink owns it and deletes it first in
// its destructor. Each platform provides UsbLinkBackend::create in a file of its own.
class UsbLinkBackend : public QObject
{
public:
    static UsbLinkBackend* create(UsbLink* link);
    ~UsbLinkBackend() override = default;

    // Opens path; false (after a warning naming the cause) when it cannot be used.
    virtual bool open(const QString& path, UsbLink::ConnectionMode mode, bool exclusive) = 0;
    // Closes without reporting; queued bytes are dropped.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Queues data for writing.
    virtual void write(const QByteArray& data) = 0;
    virtual qint64 pendingBytes() const = 0;

protected:
    explicit UsbLinkBackend(UsbLink* owner) : link(owner) {}

    // Each returns false when a receiver deleted the link (and with it this backend):
    // the caller must then return without touching any member.
    bool reportRead(const QByteArray& data);
    bool reportWritten(const QByteArray& data);
    bool reportStatus(int status);

    UsbLink* const link;
};

#endif // USBLINK_BACKEND_H
