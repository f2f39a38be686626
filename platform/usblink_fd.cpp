#include "usblink_fd_p.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace {

// Bytes and reads per wake-up before the event loop gets its turn again.
constexpr int ReadBudget = 64 * 1024;
constexpr int MaxReads = 256;
constexpr int MaxRead = 4097;

bool hungUp(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLNVAL));
}

// An unplugged device reads or writes as EIO (a terminal whose other end went, a HID node)
// or ENODEV, then end of file.
bool gone(int error)
{
    return error == EIO || error == ENODEV;
}

} // namespace

FdUsbLinkBackend::~FdUsbLinkBackend()
{
    FdUsbLinkBackend::close();
}

void FdUsbLinkBackend::watch(int descriptor, UsbLink::ConnectionMode mode)
{
    fd = descriptor;
    if (mode != UsbLink::WriteOnly) {
        readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(readNotifier, &QSocketNotifier::activated, this, [this] { onReadable(); });
    }
    if (mode != UsbLink::ReadOnly) {
        writeNotifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
        writeNotifier->setEnabled(false);
        connect(writeNotifier, &QSocketNotifier::activated, this, [this] { onWritable(); });
    }
}

void FdUsbLinkBackend::close()
{
    // Notifiers go before the descriptor; deleteLater because this may run inside one.
    for (QSocketNotifier* n : {readNotifier, writeNotifier}) {
        if (n) {
            n->setEnabled(false);
            n->deleteLater();
        }
    }
    readNotifier = writeNotifier = nullptr;
    if (fd >= 0)
        ::close(fd);
    fd = -1;
    outQueue.clear();
    outOffset = 0;
    pending = 0;
}

void FdUsbLinkBackend::queue(const QByteArray& unit, const QByteArray& carried)
{
    if (fd < 0 || !writeNotifier || unit.isEmpty())
        return;
    outQueue.append({unit, carried});
    pending += carried.isNull() ? unit.size() : carried.size();
    writeNotifier->setEnabled(true);
}

void FdUsbLinkBackend::onReadable()
{
    QByteArray data;
    char chunk[MaxRead];
    const size_t size = size_t(qBound(1, readSize(), MaxRead));
    int status = -1; // -1: still open
    int error = 0;
    for (int i = 0; i < MaxReads && data.size() < ReadBudget; ++i) {
        const ssize_t n = ::read(fd, chunk, size);
        if (n > 0) {
            take(data, chunk, int(n));
            continue;
        }
        error = n < 0 ? errno : 0;
        if (error == EINTR)
            continue;
        if (error == EAGAIN || error == EWOULDBLOCK) {
            // Woken with nothing to read: the other end may have gone.
            if (data.isEmpty() && hungUp(fd))
                status = UsbLink::Disconnected;
            break;
        }
        status = (n == 0 || gone(error)) ? UsbLink::Disconnected : UsbLink::Failed;
        break;
    }
    if (!data.isEmpty() && !reportRead(data))
        return;
    if (status >= 0 && fd >= 0)
        lose(status, "read", error);
}

void FdUsbLinkBackend::onWritable()
{
    QByteArray written;
    while (!outQueue.isEmpty()) {
        const Unit& unit = outQueue.first();
        const int left = unit.bytes.size() - outOffset;
        const ssize_t n = ::write(fd, unit.bytes.constData() + outOffset, size_t(left));
        // A unit that carries stream bytes (a report) goes whole or not at all.
        const bool broken = n > 0 && n < left && !unit.carried.isNull();
        if (n > 0 && !broken) {
            written.append(unit.carried.isNull() ? unit.bytes.mid(outOffset, int(n)) : unit.carried);
            outOffset += int(n);
            if (outOffset == unit.bytes.size()) {
                outQueue.removeFirst();
                outOffset = 0;
            }
            continue;
        }
        const int error = broken ? EIO : n < 0 ? errno : EAGAIN;
        if (error == EINTR)
            continue;
        if (error == EAGAIN || error == EWOULDBLOCK)
            break;
        lose(hungUp(fd) || gone(error) ? UsbLink::Disconnected : UsbLink::Failed, "write", error);
        return;
    }
    pending -= written.size();
    if (outQueue.isEmpty())
        writeNotifier->setEnabled(false);
    if (!written.isEmpty())
        reportWritten(written);
}

void FdUsbLinkBackend::lose(int status, const char* operation, int error)
{
    if (status == UsbLink::Failed)
        qWarning("UsbLink::%s failed: %s", operation, strerror(error));
    close();
    reportStatus(status);
}
