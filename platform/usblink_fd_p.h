#ifndef USBLINK_FD_H
#define USBLINK_FD_H

#include "usblink_backend_p.h"

#include <QByteArray>
#include <QList>

class QSocketNotifier;

// A backend over one non-blocking descriptor watched from the event loop: the device node
// and HID backends. It reads on each wake-up up to a budget and writes queued units as the
// device takes them; a subclass says how big a read is, what a read brings into the stream,
// and how outgoing bytes are cut into what the device takes (whole units or a stream).
class FdUsbLinkBackend : public UsbLinkBackend
{
public:
    ~FdUsbLinkBackend() override;

    void close() override;
    bool isOpen() const override { return fd >= 0; }
    qint64 pendingBytes() const override { return pending; }

protected:
    explicit FdUsbLinkBackend(UsbLink* owner) : UsbLinkBackend(owner) {}

    // Takes the opened descriptor and watches it as mode needs.
    void watch(int descriptor, UsbLink::ConnectionMode mode);
    // One unit for the device; `carried` are the stream bytes in it (null: the unit is the
    // stream itself and may go in parts).
    void queue(const QByteArray& unit, const QByteArray& carried = QByteArray());
    // A write of ::read's size, and what the bytes read bring into the stream.
    virtual int readSize() const = 0;
    virtual void take(QByteArray& stream, const char* bytes, int size) = 0;

    int fd = -1;

private:
    struct Unit
    {
        QByteArray bytes;
        QByteArray carried;
    };
    void onReadable();
    void onWritable();
    // Closes and reports 0 (hang-up) or 2 (error, with a warning naming it).
    void lose(int status, const char* operation, int error);

    QSocketNotifier* readNotifier = nullptr;
    QSocketNotifier* writeNotifier = nullptr;
    QList<Unit> outQueue;
    int outOffset = 0;  // bytes of the first unit already written
    qint64 pending = 0; // stream bytes not written yet
};

#endif // USBLINK_FD_H
