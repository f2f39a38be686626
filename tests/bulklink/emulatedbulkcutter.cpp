// GLib's headers go before Qt's, whose "signals" macro they would trip over.
#include <umockdev.h>

#include "emulatedbulkcutter.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

namespace {

usbdevfs_urb* urbOf(UMockdevIoctlData* data)
{
    return reinterpret_cast<usbdevfs_urb*>(data->data);
}

// The ioctl argument is the caller's pointer: this fetches what it points to (a local copy
// that completing the ioctl writes back), or null.
UMockdevIoctlData* pointee(UMockdevIoctlData* data, gsize offset, gsize length)
{
    GError* error = nullptr;
    UMockdevIoctlData* target = umockdev_ioctl_data_resolve(data, offset, length, &error);
    if (error)
        g_error_free(error);
    return target;
}

void release(const QList<UMockdevIoctlData*>& list)
{
    for (UMockdevIoctlData* d : list)
        if (d)
            g_object_unref(d);
}

} // namespace

EmulatedBulkCutter::EmulatedBulkCutter(QList<Step> steps, End how)
    : base(umockdev_ioctl_base_new()), recording(std::move(steps)), end(how)
{
    g_signal_connect(base, "handle-ioctl", G_CALLBACK(&EmulatedBulkCutter::onIoctl), this);
}

EmulatedBulkCutter::~EmulatedBulkCutter()
{
    g_signal_handlers_disconnect_by_data(base, this);
    for (const Urb& u : waitingIn + done)
        release({u.urb, u.buffer});
    g_object_unref(base);
}

QByteArray EmulatedBulkCutter::received() const
{
    QMutexLocker lock(&mutex);
    return fromHost;
}

QList<int> EmulatedBulkCutter::outTransfers() const
{
    QMutexLocker lock(&mutex);
    return lengths;
}

bool EmulatedBulkCutter::followedRecording() const
{
    QMutexLocker lock(&mutex);
    return !mismatch && step == recording.size() && consumed == fromHost.size();
}

void EmulatedBulkCutter::setForward(std::function<void(const QByteArray&)> to)
{
    QMutexLocker lock(&mutex);
    forward = std::move(to);
}

void EmulatedBulkCutter::deliver(const QByteArray& bytes)
{
    QMutexLocker lock(&mutex);
    toHost += bytes;
    feed();
}

void EmulatedBulkCutter::unplug()
{
    QMutexLocker lock(&mutex);
    end = Unplug;
    ended = true;
    toHost.clear();
    feed();
}

int EmulatedBulkCutter::onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self)
{
    return static_cast<EmulatedBulkCutter*>(self)->handle(client);
}

int EmulatedBulkCutter::handle(UMockdevIoctlClient* client)
{
    QMutexLocker lock(&mutex);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    switch (umockdev_ioctl_client_get_request(client)) {
    case USBDEVFS_CONNECTINFO: {
        UMockdevIoctlData* info = pointee(arg, 0, sizeof(usbdevfs_connectinfo));
        if (info) {
            *reinterpret_cast<usbdevfs_connectinfo*>(info->data) = usbdevfs_connectinfo{7, 0};
            g_object_unref(info);
        }
        umockdev_ioctl_client_complete(client, info ? 0 : -1, info ? 0 : EFAULT);
        break;
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_RELEASEINTERFACE:
    case USBDEVFS_CLEAR_HALT: umockdev_ioctl_client_complete(client, ended && end == Unplug ? -1 : 0, ENODEV); break;
    case USBDEVFS_SUBMITURB: submit(client, arg); break;
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: reap(client, arg); break;
    case USBDEVFS_DISCARDURB: discard(client, arg); break;
    default: umockdev_ioctl_client_complete(client, -1, ENOTTY); break;
    }
    return TRUE;
}

void EmulatedBulkCutter::submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    if (ended && end == Unplug) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return;
    }
    UMockdevIoctlData* data = pointee(arg, 0, sizeof(usbdevfs_urb));
    usbdevfs_urb* urb = data ? urbOf(data) : nullptr;
    UMockdevIoctlData* buffer = urb && urb->buffer_length > 0
                                    ? pointee(data, offsetof(usbdevfs_urb, buffer), gsize(urb->buffer_length))
                                    : nullptr;
    if (!urb || (urb->buffer_length > 0 && !buffer)) {
        release({data, buffer});
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    const Urb held{data, buffer};
    if (urb->endpoint & 0x80) {
        waitingIn.append(held);
    } else {
        const QByteArray bytes(reinterpret_cast<const char*>(buffer ? buffer->data : nullptr), urb->buffer_length);
        fromHost.append(bytes);
        if (forward && !bytes.isEmpty())
            forward(bytes);
        lengths.append(urb->buffer_length);
        urb->status = 0;
        urb->actual_length = urb->buffer_length;
        done.append(held);
        advance();
    }
    feed();
    umockdev_ioctl_client_complete(client, 0, 0);
}

void EmulatedBulkCutter::reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    if (done.isEmpty()) {
        umockdev_ioctl_client_complete(client, -1, ended && end == Unplug ? ENODEV : EAGAIN);
        return;
    }
    UMockdevIoctlData* slot = pointee(arg, 0, sizeof(void*));
    if (!slot) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    const Urb u = done.takeFirst();
    umockdev_ioctl_data_set_ptr(slot, 0, u.urb);
    umockdev_ioctl_client_complete(client, 0, 0);
    release({slot, u.urb, u.buffer});
}

void EmulatedBulkCutter::discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    gulong address = 0;
    memcpy(&address, arg->data, qMin(sizeof address, size_t(arg->data_len)));
    for (int i = 0; i < waitingIn.size(); ++i) {
        if (waitingIn[i].urb->client_addr != address)
            continue;
        const Urb u = waitingIn.takeAt(i);
        urbOf(u.urb)->status = -ENOENT;
        urbOf(u.urb)->actual_length = 0;
        done.append(u);
        umockdev_ioctl_client_complete(client, 0, 0);
        return;
    }
    umockdev_ioctl_client_complete(client, -1, EINVAL);
}

// Takes the host's bytes step by step; a step's reply is queued once all it expects came.
void EmulatedBulkCutter::advance()
{
    while (step < recording.size() && fromHost.size() - consumed >= recording[step].expect.size()) {
        const QByteArray& expect = recording[step].expect;
        if (fromHost.mid(consumed, expect.size()) != expect)
            mismatch = true;
        consumed += expect.size();
        toHost += recording[step++].reply;
    }
}

// Completes held IN transfers with the queued replies; after the last reply, the end.
void EmulatedBulkCutter::feed()
{
    while (!waitingIn.isEmpty()) {
        const bool over = step == recording.size() && toHost.isEmpty();
        if (toHost.isEmpty() && (!over || end == StayPlugged))
            return;
        const Urb u = waitingIn.takeFirst();
        usbdevfs_urb* urb = urbOf(u.urb);
        if (!toHost.isEmpty()) {
            const int n = qMin(urb->buffer_length, toHost.size());
            memcpy(u.buffer->data, toHost.constData(), size_t(n));
            toHost.remove(0, n);
            urb->status = 0;
            urb->actual_length = n;
        } else {
            urb->status = end == Unplug ? -ENODEV : -EPROTO;
            urb->actual_length = 0;
            ended = true;
        }
        done.append(u);
    }
}
