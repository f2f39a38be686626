// UsbLink over a HID node (/dev/hidraw*): the byte stream travels in fixed-size reports
// whose layout comes from the device's report descriptor (see hidreport.h).
#include "hidreport.h"
#include "usblink_backend_p.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Reports read per wake-up before the event loop gets its turn again.
constexpr int ReadBudget = 256;
// The largest report a HID device may send (the ID byte and 4096 data bytes).
constexpr int MaxReport = 4097;

class HidUsbLinkBackend : public UsbLinkBackend
{
public:
    explicit HidUsbLinkBackend(UsbLink* owner) : UsbLinkBackend(owner) {}
    ~HidUsbLinkBackend() override { close(); }

    Kind kind() const override { return Hid; }
    bool open(const QString& path, UsbLink::ConnectionMode mode, bool exclusive) override;
    void close() override;
    bool isOpen() const override { return fd >= 0; }
    void write(const QByteArray& data) override;
    qint64 pendingBytes() const override { return pending; }

private:
    bool readLayout(const QByteArray& name, UsbLink::ConnectionMode mode);
    void onReadable();
    void onWritable();
    void lose(int status, const char* operation, int error);

    int fd = -1;
    HidReports reports;
    QSocketNotifier* readNotifier = nullptr;
    QSocketNotifier* writeNotifier = nullptr;
    QList<QByteArray> outReports; // whole reports not yet written
    QList<QByteArray> outPieces;  // the stream bytes each of them carries
    qint64 pending = 0;           // stream bytes in outReports
};

bool HidUsbLinkBackend::open(const QString& path, UsbLink::ConnectionMode mode, bool)
{
    close();
    const QByteArray name = QFile::encodeName(path);
    fd = ::open(name.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        qWarning("UsbLink::usbConnect cannot open \"%s\": %s", name.constData(), strerror(error));
        return false;
    }
    if (!readLayout(name, mode)) {
        close();
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

bool HidUsbLinkBackend::readLayout(const QByteArray& name, UsbLink::ConnectionMode mode)
{
    int size = 0;
    hidraw_report_descriptor descriptor{};
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0 || size <= 0 || size > HID_MAX_DESCRIPTOR_SIZE) {
        qWarning("UsbLink::usbConnect cannot read the report descriptor size of \"%s\"", name.constData());
        return false;
    }
    descriptor.size = quint32(size);
    if (::ioctl(fd, HIDIOCGRDESC, &descriptor) < 0) {
        const int error = errno;
        qWarning("UsbLink::usbConnect cannot read the report descriptor of \"%s\": %s", name.constData(),
                 strerror(error));
        return false;
    }
    reports =
        parseHidReportDescriptor(QByteArray(reinterpret_cast<const char*>(descriptor.value), int(descriptor.size)));
    const bool needIn = mode != UsbLink::WriteOnly, needOut = mode != UsbLink::ReadOnly;
    if ((needIn && !reports.input.isValid()) || (needOut && !reports.output.isValid())) {
        qWarning("UsbLink::usbConnect \"%s\" declares no %s report to carry the data", name.constData(),
                 needOut && !reports.output.isValid() ? "output" : "input");
        return false;
    }
    return true;
}

void HidUsbLinkBackend::close()
{
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
    outReports.clear();
    outPieces.clear();
    pending = 0;
}

void HidUsbLinkBackend::write(const QByteArray& data)
{
    if (fd < 0 || !writeNotifier || data.isEmpty())
        return;
    outReports.append(hidOutputReports(reports.output, data));
    const int room = reports.output.capacity();
    for (int at = 0; at < data.size(); at += room)
        outPieces.append(data.mid(at, room));
    pending += data.size();
    writeNotifier->setEnabled(true);
}

void HidUsbLinkBackend::onReadable()
{
    QByteArray data;
    char report[MaxReport];
    // One report per read, asked for at its exact length: a node that streams (a test bed's
    // terminal) then splits reports as the kernel's HID node does.
    const size_t length = size_t(qMin(MaxReport, reports.input.size + (reports.input.id != 0 ? 1 : 0)));
    int status = -1; // -1: still open
    int error = 0;
    for (int i = 0; i < ReadBudget; ++i) {
        const ssize_t n = ::read(fd, report, length);
        if (n > 0) {
            data.append(hidInputPayload(reports.input, QByteArray(report, int(n))));
            continue;
        }
        error = n < 0 ? errno : 0;
        if (error == EINTR)
            continue;
        if (error == EAGAIN || error == EWOULDBLOCK)
            break;
        // The node reports an unplugged device as EIO (or ENODEV) and then end of file.
        status = (n == 0 || error == EIO || error == ENODEV) ? UsbLink::Disconnected : UsbLink::Failed;
        break;
    }
    if (!data.isEmpty() && !reportRead(data))
        return;
    if (status >= 0 && fd >= 0)
        lose(status, "read", error);
}

void HidUsbLinkBackend::onWritable()
{
    QByteArray written;
    while (!outReports.isEmpty()) {
        const QByteArray& report = outReports.first();
        const ssize_t n = ::write(fd, report.constData(), size_t(report.size()));
        if (n == report.size()) {
            written.append(outPieces.takeFirst());
            outReports.removeFirst();
            continue;
        }
        const int error = n < 0 ? errno : EIO; // a report goes whole or not at all
        if (error == EINTR)
            continue;
        if (error == EAGAIN || error == EWOULDBLOCK)
            break;
        lose(error == EIO || error == ENODEV ? UsbLink::Disconnected : UsbLink::Failed, "write", error);
        return;
    }
    pending -= written.size();
    if (outReports.isEmpty())
        writeNotifier->setEnabled(false);
    if (!written.isEmpty())
        reportWritten(written);
}

void HidUsbLinkBackend::lose(int status, const char* operation, int error)
{
    if (status == UsbLink::Failed)
        qWarning("UsbLink::%s failed: %s", operation, strerror(error));
    close();
    reportStatus(status);
}

} // namespace

UsbLinkBackend* createHidBackend(UsbLink* link)
{
    return new HidUsbLinkBackend(link);
}
