// UsbLink on POSIX systems: the cutter is a character device node (/dev/ttyACM*,
// /dev/usb/lp*, any tty), driven non-blocking from the event loop.
#include "usblink_fd_p.h"

#include <QFile>
#include <QtGlobal>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

int accessFlags(UsbLink::ConnectionMode mode)
{
    switch (mode) {
    case UsbLink::ReadOnly: return O_RDONLY;
    case UsbLink::WriteOnly: return O_WRONLY;
    case UsbLink::ReadWrite: break;
    }
    return O_RDWR;
}

class PosixUsbLinkBackend : public FdUsbLinkBackend
{
public:
    explicit PosixUsbLinkBackend(UsbLink* owner) : FdUsbLinkBackend(owner) {}

    bool open(const QString& path, UsbLink::ConnectionMode mode, bool exclusive) override;
    Kind kind() const override { return Node; }
    void write(const QByteArray& data) override { queue(data); }

private:
    bool makeRaw(int descriptor, const QString& path, bool exclusive);
    int readSize() const override { return 4096; }
    void take(QByteArray& stream, const char* bytes, int size) override { stream.append(bytes, size); }
};

bool PosixUsbLinkBackend::open(const QString& path, UsbLink::ConnectionMode mode, bool exclusive)
{
    close();
    const QByteArray name = QFile::encodeName(path);
    const int flags = accessFlags(mode) | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
    const int descriptor = ::open(name.constData(), flags);
    if (descriptor < 0) {
        const int error = errno;
        qWarning("UsbLink::usbConnect cannot open \"%s\": %s", name.constData(), strerror(error));
        return false;
    }
    if (::isatty(descriptor) && !makeRaw(descriptor, path, exclusive)) {
        ::close(descriptor);
        return false;
    }
    watch(descriptor, mode);
    return true;
}

// The protocol's frame bytes 0x02/0x03 are control characters to a cooked tty (0x03 is
// the interrupt key): the line must pass every byte unchanged, in both directions.
bool PosixUsbLinkBackend::makeRaw(int descriptor, const QString& path, bool exclusive)
{
    termios t{};
    bool ok = ::tcgetattr(descriptor, &t) == 0;
    if (ok) {
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        ok = ::tcsetattr(descriptor, TCSANOW, &t) == 0;
    }
    if (!ok) {
        const int error = errno;
        qWarning("UsbLink::usbConnect cannot set raw mode on \"%s\": %s", qPrintable(path), strerror(error));
        return false;
    }
    if (exclusive && ::ioctl(descriptor, TIOCEXCL) != 0) {
        const int error = errno;
        qWarning("UsbLink::usbConnect cannot lock \"%s\": %s", qPrintable(path), strerror(error));
        return false;
    }
    return true;
}

} // namespace

UsbLinkBackend* createNodeBackend(UsbLink* link)
{
    return new PosixUsbLinkBackend(link);
}
