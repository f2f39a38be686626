// UsbLink over a vendor-specific interface that no kernel driver speaks: libusb drives its
// bulk endpoints through the usbfs node (/dev/bus/usb/BBB/DDD). Everything runs on the event
// loop: libusb's descriptors are watched by socket notifiers and its events handled without
// waiting, so no thread is started and a read is always posted while the link is open.
#include "usbdevices.h"
#include "usblink_backend_p.h"

#include <QFile>
#include <QHash>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libusb.h>
#include <poll.h>
#include <unistd.h>

namespace {

// Packets per transfer: large enough to keep the bus busy, small enough to report progress.
constexpr int PacketsPerTransfer = 64;
// Rounds of event handling a close waits for cancelled transfers to come back.
constexpr int CancelRounds = 20;
constexpr int CancelRoundMs = 50;

struct Endpoints
{
    int interface = -1;
    unsigned char in = 0, out = 0;
    int packetIn = 0, packetOut = 0;
};

// The first interface (first alternate setting) with a bulk IN and a bulk OUT endpoint,
// a vendor-specific one before any other.
Endpoints findEndpoints(libusb_device* device)
{
    Endpoints best;
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0
        && libusb_get_config_descriptor(device, 0, &config) != 0)
        return best;
    bool bestIsVendor = false;
    for (int i = 0; i < config->bNumInterfaces && !bestIsVendor; ++i) {
        if (config->interface[i].num_altsetting < 1)
            continue;
        const libusb_interface_descriptor& alt = config->interface[i].altsetting[0];
        Endpoints e;
        e.interface = alt.bInterfaceNumber;
        for (int k = 0; k < alt.bNumEndpoints; ++k) {
            const libusb_endpoint_descriptor& ep = alt.endpoint[k];
            if ((ep.bmAttributes & 3) != LIBUSB_TRANSFER_TYPE_BULK)
                continue;
            const bool isIn = ep.bEndpointAddress & LIBUSB_ENDPOINT_IN;
            if ((isIn ? e.in : e.out) != 0)
                continue;
            (isIn ? e.in : e.out) = ep.bEndpointAddress;
            (isIn ? e.packetIn : e.packetOut) = qMax(1, ep.wMaxPacketSize & 0x7ff);
        }
        if (e.in && e.out && (best.interface < 0 || alt.bInterfaceClass == LIBUSB_CLASS_VENDOR_SPEC)) {
            best = e;
            bestIsVendor = alt.bInterfaceClass == LIBUSB_CLASS_VENDOR_SPEC;
        }
    }
    libusb_free_config_descriptor(config);
    return best;
}

class BulkUsbLinkBackend : public UsbLinkBackend
{
public:
    explicit BulkUsbLinkBackend(UsbLink* owner) : UsbLinkBackend(owner) {}
    ~BulkUsbLinkBackend() override { close(); }

    Kind kind() const override { return Bulk; }
    bool open(const QString& path, UsbLink::ConnectionMode mode, bool exclusive) override;
    void close() override;
    bool isOpen() const override { return handle != nullptr; }
    void write(const QByteArray& data) override;
    qint64 pendingBytes() const override { return outQueue.size() + inFlight.size(); }

private:
    bool openDevice(const QString& node, bool detach);
    void watch(int fd, short events);
    void unwatch(int fd);
    void handleEvents();
    void deliver();
    bool submitRead();
    bool submitWrite();
    void readDone(libusb_transfer* t);
    void writeDone(libusb_transfer* t);
    // Records how the link ended; it is reported once libusb has returned.
    void lose(int status, const char* operation, const char* cause);

    libusb_context* ctx = nullptr;
    libusb_device_handle* handle = nullptr;
    int fd = -1;
    Endpoints ep;
    bool reattach = false; // a kernel driver was detached and gets the interface back
    bool mayWrite = false; // not opened ReadOnly
    bool closing = false;
    libusb_transfer* reader = nullptr;
    libusb_transfer* writer = nullptr;
    bool readBusy = false, writeBusy = false;
    QByteArray readBuffer;
    QByteArray inFlight; // the bytes of the write transfer on the bus
    QByteArray outQueue;
    QHash<int, QSocketNotifier*> notifiers; // by fd and direction: fd * 2 + (write ? 1 : 0)
    // What the callbacks saw, delivered after libusb returns (a receiver may delete us).
    QByteArray received, sent;
    int lost = -1;
};

bool BulkUsbLinkBackend::open(const QString& path, UsbLink::ConnectionMode mode, bool exclusive)
{
    close();
    const QString node = path.startsWith(QLatin1String("usb:")) ? findUsbBulkNode(path) : path;
    if (node.isEmpty()) {
        qWarning("UsbLink::usbConnect no device \"%s\" with a vendor interface is plugged in", qPrintable(path));
        return false;
    }
    if (!openDevice(node, exclusive)) {
        close();
        return false;
    }
    reader = libusb_alloc_transfer(0);
    writer = libusb_alloc_transfer(0);
    readBuffer.resize(PacketsPerTransfer * ep.packetIn);
    const libusb_pollfd** fds = libusb_get_pollfds(ctx);
    for (int i = 0; fds && fds[i]; ++i)
        watch(fds[i]->fd, fds[i]->events);
    libusb_free_pollfds(fds);
    libusb_set_pollfd_notifiers(
        ctx, [](int fd, short events, void* self) { static_cast<BulkUsbLinkBackend*>(self)->watch(fd, events); },
        [](int fd, void* self) { static_cast<BulkUsbLinkBackend*>(self)->unwatch(fd); }, this);
    mayWrite = mode != UsbLink::ReadOnly;
    if (mode == UsbLink::WriteOnly || submitRead())
        return true;
    qWarning("UsbLink::usbConnect cannot read from \"%s\"", qPrintable(node));
    close();
    return false;
}

bool BulkUsbLinkBackend::openDevice(const QString& node, bool detach)
{
    const QByteArray name = QFile::encodeName(node);
    fd = ::open(name.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        qWarning("UsbLink::usbConnect cannot open \"%s\": %s", name.constData(), strerror(error));
        return false;
    }
    // The node is open already: libusb needs no bus scan (and may have no right to one).
    libusb_set_option(nullptr, LIBUSB_OPTION_NO_DEVICE_DISCOVERY);
    int rc = libusb_init(&ctx);
    if (rc == 0)
        rc = libusb_wrap_sys_device(ctx, fd, &handle);
    if (rc != 0) {
        qWarning("UsbLink::usbConnect cannot use \"%s\": %s", name.constData(), libusb_strerror(rc));
        return false;
    }
    ep = findEndpoints(libusb_get_device(handle));
    if (ep.interface < 0) {
        qWarning("UsbLink::usbConnect \"%s\" has no interface with a bulk pair", name.constData());
        return false;
    }
    // A kernel driver holding the interface is taken off it only when exclusive use is asked.
    if (detach && libusb_kernel_driver_active(handle, ep.interface) == 1)
        reattach = libusb_detach_kernel_driver(handle, ep.interface) == 0;
    rc = libusb_claim_interface(handle, ep.interface);
    if (rc != 0) {
        qWarning("UsbLink::usbConnect cannot claim interface %d of \"%s\": %s%s", ep.interface, name.constData(),
                 libusb_strerror(rc), rc == LIBUSB_ERROR_BUSY ? " (held by another driver or program)" : "");
        if (reattach)
            libusb_attach_kernel_driver(handle, ep.interface);
        reattach = false;
        ep.interface = -1;
        return false;
    }
    return true;
}

void BulkUsbLinkBackend::watch(int fd, short events)
{
    for (const bool out : {false, true}) {
        if (!(events & (out ? POLLOUT : POLLIN)) || notifiers.contains(fd * 2 + out))
            continue;
        auto* n = new QSocketNotifier(fd, out ? QSocketNotifier::Write : QSocketNotifier::Read, this);
        connect(n, &QSocketNotifier::activated, this, [this] { handleEvents(); });
        notifiers.insert(fd * 2 + out, n);
    }
}

void BulkUsbLinkBackend::unwatch(int fd)
{
    for (const int key : {fd * 2, fd * 2 + 1}) {
        if (QSocketNotifier* n = notifiers.take(key)) {
            n->setEnabled(false);
            n->deleteLater(); // this may run inside the notifier's own signal
        }
    }
}

void BulkUsbLinkBackend::handleEvents()
{
    timeval now{0, 0};
    const int rc = libusb_handle_events_timeout_completed(ctx, &now, nullptr);
    if (rc != 0 && rc != LIBUSB_ERROR_INTERRUPTED)
        lose(rc == LIBUSB_ERROR_NO_DEVICE ? UsbLink::Disconnected : UsbLink::Failed, "read", libusb_strerror(rc));
    deliver();
}

void BulkUsbLinkBackend::deliver()
{
    const QByteArray out = std::exchange(sent, QByteArray());
    const QByteArray in = std::exchange(received, QByteArray());
    const int status = std::exchange(lost, -1);
    if (!out.isEmpty() && (!reportWritten(out) || !handle))
        return;
    if (!in.isEmpty() && (!reportRead(in) || !handle))
        return;
    if (status >= 0) {
        close();
        reportStatus(status);
    }
}

bool BulkUsbLinkBackend::submitRead()
{
    libusb_fill_bulk_transfer(
        reader, handle, ep.in, reinterpret_cast<unsigned char*>(readBuffer.data()), readBuffer.size(),
        [](libusb_transfer* t) { static_cast<BulkUsbLinkBackend*>(t->user_data)->readDone(t); }, this, 0);
    const int rc = libusb_submit_transfer(reader);
    readBusy = rc == 0;
    if (rc != 0)
        lose(rc == LIBUSB_ERROR_NO_DEVICE ? UsbLink::Disconnected : UsbLink::Failed, "read", libusb_strerror(rc));
    return readBusy;
}

void BulkUsbLinkBackend::readDone(libusb_transfer* t)
{
    readBusy = false;
    switch (t->status) {
    case LIBUSB_TRANSFER_COMPLETED:
        received.append(readBuffer.constData(), t->actual_length);
        if (!closing && lost < 0)
            submitRead();
        break;
    case LIBUSB_TRANSFER_CANCELLED: break;
    case LIBUSB_TRANSFER_NO_DEVICE: lose(UsbLink::Disconnected, "read", "device gone"); break;
    default: lose(UsbLink::Failed, "read", libusb_error_name(t->status)); break;
    }
}

void BulkUsbLinkBackend::write(const QByteArray& data)
{
    if (!handle || !mayWrite || data.isEmpty())
        return;
    outQueue.append(data);
    if (!writeBusy && submitWrite())
        return;
    if (lost >= 0) // the submit failed: reported from the event loop, never from inside send
        QTimer::singleShot(0, this, [this] { deliver(); });
}

// Sends up to PacketsPerTransfer packets of the queue, or with the queue empty a zero-length
// packet: a transfer that ends on a packet boundary is otherwise not known to have ended.
bool BulkUsbLinkBackend::submitWrite()
{
    inFlight = outQueue.left(PacketsPerTransfer * ep.packetOut);
    outQueue.remove(0, inFlight.size());
    libusb_fill_bulk_transfer(
        writer, handle, ep.out, reinterpret_cast<unsigned char*>(inFlight.data()), inFlight.size(),
        [](libusb_transfer* t) { static_cast<BulkUsbLinkBackend*>(t->user_data)->writeDone(t); }, this, 0);
    const int rc = libusb_submit_transfer(writer);
    writeBusy = rc == 0;
    if (rc != 0)
        lose(rc == LIBUSB_ERROR_NO_DEVICE ? UsbLink::Disconnected : UsbLink::Failed, "write", libusb_strerror(rc));
    return writeBusy;
}

void BulkUsbLinkBackend::writeDone(libusb_transfer* t)
{
    writeBusy = false;
    if (t->status != LIBUSB_TRANSFER_COMPLETED) {
        if (t->status == LIBUSB_TRANSFER_NO_DEVICE)
            lose(UsbLink::Disconnected, "write", "device gone");
        else if (t->status != LIBUSB_TRANSFER_CANCELLED)
            lose(UsbLink::Failed, "write", libusb_error_name(t->status));
        return;
    }
    const int length = inFlight.size();
    sent.append(inFlight.left(t->actual_length));
    outQueue.prepend(inFlight.mid(t->actual_length)); // a short write leaves the rest first in line
    inFlight.clear();
    const bool boundary = length > 0 && t->actual_length == length && length % ep.packetOut == 0;
    if (!closing && lost < 0 && (!outQueue.isEmpty() || boundary))
        submitWrite();
}

void BulkUsbLinkBackend::lose(int status, const char* operation, const char* cause)
{
    if (lost >= 0)
        return;
    lost = status;
    if (status == UsbLink::Failed)
        qWarning("UsbLink::%s failed: %s", operation, cause);
}

void BulkUsbLinkBackend::close()
{
    if (!ctx) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        return;
    }
    closing = true;
    if (readBusy)
        libusb_cancel_transfer(reader);
    if (writeBusy)
        libusb_cancel_transfer(writer);
    // A transfer is freed only once libusb has given it back; a device that never answers
    // the cancel costs a bounded wait and the two transfers.
    for (int round = 0; (readBusy || writeBusy) && round < CancelRounds; ++round) {
        timeval wait{0, CancelRoundMs * 1000};
        libusb_handle_events_timeout_completed(ctx, &wait, nullptr);
    }
    libusb_set_pollfd_notifiers(ctx, nullptr, nullptr, nullptr);
    for (QSocketNotifier* n : qAsConst(notifiers)) {
        n->setEnabled(false);
        n->deleteLater();
    }
    notifiers.clear();
    if (handle) {
        if (ep.interface >= 0)
            libusb_release_interface(handle, ep.interface);
        if (reattach)
            libusb_attach_kernel_driver(handle, ep.interface);
        libusb_close(handle);
    }
    if (!readBusy)
        libusb_free_transfer(reader);
    if (!writeBusy)
        libusb_free_transfer(writer);
    libusb_exit(ctx);
    ::close(fd); // libusb leaves a wrapped descriptor to its owner
    ctx = nullptr;
    handle = nullptr;
    fd = -1;
    ep = Endpoints();
    reattach = mayWrite = closing = readBusy = writeBusy = false;
    reader = writer = nullptr;
    inFlight.clear();
    outQueue.clear();
    received.clear();
    sent.clear();
    lost = -1;
}

} // namespace

UsbLinkBackend* createBulkBackend(UsbLink* link)
{
    return new BulkUsbLinkBackend(link);
}
