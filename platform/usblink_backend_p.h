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
    // How a cutter is spoken to, told by its path: a character device node (tty, printer
    // class), a HID node spoken in reports, or a USB device driven through its bulk endpoints.
    enum Kind {
        Node,
        Hid,
        Bulk
    };
    static Kind kindOf(const QString& path);

    // A backend of the kind that path needs (an empty path gives the device-node one).
    static UsbLinkBackend* create(UsbLink* link, const QString& path);
    ~UsbLinkBackend() override = default;

    virtual Kind kind() const = 0;

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

// One factory per kind, each in the file of its backend.
UsbLinkBackend* createNodeBackend(UsbLink* link);
UsbLinkBackend* createHidBackend(UsbLink* link);
UsbLinkBackend* createBulkBackend(UsbLink* link);

#endif // USBLINK_BACKEND_H
