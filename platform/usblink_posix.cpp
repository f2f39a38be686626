// UsbLink on POSIX systems: the cutter is a character device node (/dev/ttyACM*,
// /dev/usb/lp*, any tty), driven non-blocking from the event loop.
#include "usblink_backend_p.h"

#include <QFile>
#include <QSocketNotifier>
#include <QtGlobal>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Bytes read per wake-up before the event loop gets its turn again.
constexpr int ReadBudget = 64 * 1024;

int accessFlags(UsbLink::ConnectionMode mode)
{
    switch (mode) {
    case UsbLink::ReadOnly: return O_RDONLY;
    case UsbLink::WriteOnly: return O_WRONLY;
    case UsbLink::ReadWrite: break;
    }
    return O_RDWR;
}

bool hungUp(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLNVAL));
}

class PosixUsbLinkBackend : public UsbLinkBackend
{
public:
    explicit PosixUsbLinkBackend(UsbLink* owner) : UsbLinkBackend(owner) {}
    ~PosixUsbLinkBackend() override { close(); }

    bool open(const QString& path, UsbLink::ConnectionMode mode, bool exclusive) override;
    void close() override;
    Kind kind() const override { return Node; }
    bool isOpen() const override { return fd >= 0; }
    void write(const QByteArray& data) override;
    qint64 pendingBytes() const override { return outQueue.size() - outOffset; }

private:
    bool makeRaw(const QString& path, bool exclusive);
    void onReadable();
    void onWritable();
    void dropQueue();
    // Closes and reports 0 (hang-up) or 2 (error, with a warning naming it).
    void lose(int status, const char* operation, int error);

    int fd = -1;
    QSocketNotifier* readNotifier = nullptr;
    QSocketNotifier* writeNotifier = nullptr;
    QByteArray outQueue;
    int outOffset = 0; // bytes of outQueue already written
};

bool PosixUsbLinkBackend::open(const QString& path, UsbLink::ConnectionMode mode, bool exclusive)
{
    close();
    const QByteArray name = QFile::encodeName(path);
    const int flags = accessFlags(mode) | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
    fd = ::open(name.constData(), flags);
    if (fd < 0) {
        const int error = errno;
        qWarning("UsbLink::usbConnect cannot open \"%s\": %s", name.constData(), strerror(error));
        return false;
    }
    if (::isatty(fd) && !makeRaw(path, exclusive)) {
        ::close(fd);
        fd = -1;
        return false;
    }
    if (mode != UsbLink::WriteOnly) {
        readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(readNotifier, &QSocketNotifier::activated, this, [this] { onReadable(); });
    }
    if (mode != UsbLink::ReadOnly) {
        writeNotifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
        writeNotifier->setEnabled(false);
        connect(writeNotifier, &QSocketNotifier::activated, this, [this] { onWritable(); });
    }
    return true;
}

// The protocol's frame bytes 0x02/0x03 are control characters to a cooked tty (0x03 is
// the interrupt key): the line must pass every byte unchanged, in both directions.
bool PosixUsbLinkBackend::makeRaw(const QString& path, bool exclusive)
{
    termios t{};
    bool ok = ::tcgetattr(fd, &t) == 0;
    if (ok) {
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        ok = ::tcsetattr(fd, TCSANOW, &t) == 0;
    }
    if (!ok) {
        const int error = errno;
        qWarning("UsbLink::usbConnect cannot set raw mode on \"%s\": %s", qPrintable(path), strerror(error));
        return false;
    }
    if (exclusive && ::ioctl(fd, TIOCEXCL) != 0) {
        const int error = errno;
        qWarning("UsbLink::usbConnect cannot lock \"%s\": %s", qPrintable(path), strerror(error));
        return false;
    }
    return true;
}

void PosixUsbLinkBackend::close()
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
    dropQueue();
}

void PosixUsbLinkBackend::write(const QByteArray& data)
{
    if (fd < 0 || !writeNotifier || data.isEmpty())
        return;
    outQueue.append(data);
    writeNotifier->setEnabled(true);
}

void PosixUsbLinkBackend::dropQueue()
{
    outQueue.clear();
    outOffset = 0;
}

void PosixUsbLinkBackend::onReadable()
{
    QByteArray data;
    char chunk[4096];
    int status = -1; // -1: still open
    int error = 0;
    while (data.size() < ReadBudget) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            data.append(chunk, int(n));
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
        // End of file, or EIO once the other end of a terminal has gone: a hang-up.
        status = (n == 0 || error == EIO) ? UsbLink::Disconnected : UsbLink::Failed;
        break;
    }
    if (!data.isEmpty() && !reportRead(data))
        return;
    if (status >= 0 && fd >= 0)
        lose(status, "read", error);
}

void PosixUsbLinkBackend::onWritable()
{
    const int start = outOffset;
    while (outOffset < outQueue.size()) {
        const ssize_t n = ::write(fd, outQueue.constData() + outOffset, size_t(outQueue.size() - outOffset));
        if (n > 0) {
            outOffset += int(n);
            continue;
        }
        const int error = n < 0 ? errno : EAGAIN;
        if (error == EINTR)
            continue;
        if (error == EAGAIN || error == EWOULDBLOCK)
            break;
        lose(hungUp(fd) || error == EIO ? UsbLink::Disconnected : UsbLink::Failed, "write", error);
        return;
    }
    const QByteArray written = outQueue.mid(start, outOffset - start);
    if (outOffset == outQueue.size()) {
        dropQueue();
        writeNotifier->setEnabled(false);
    } else if (outOffset > outQueue.size() / 2) {
        // Compact now and then only, so a slow device does not cost a copy per wake-up.
        outQueue.remove(0, outOffset);
        outOffset = 0;
    }
    if (!written.isEmpty())
        reportWritten(written);
}

void PosixUsbLinkBackend::lose(int status, const char* operation, int error)
{
    if (status == UsbLink::Failed)
        qWarning("UsbLink::%s failed: %s", operation, strerror(error));
    close();
    reportStatus(status);
}

} // namespace

UsbLinkBackend* createNodeBackend(UsbLink* link)
{
    return new PosixUsbLinkBackend(link);
}
