// UsbLink over a HID node (/dev/hidraw*): the byte stream travels in fixed-size reports
// whose layout comes from the device's report descriptor (see hidreport.h).
#include "hidreport.h"
#include "usblink_fd_p.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// The largest report a HID device may send (the ID byte and 4096 data bytes).
constexpr int MaxReport = 4097;

class HidUsbLinkBackend : public FdUsbLinkBackend
{
public:
    explicit HidUsbLinkBackend(UsbLink* owner) : FdUsbLinkBackend(owner) {}

    Kind kind() const override { return Hid; }
    bool open(const QString& path, UsbLink::ConnectionMode mode, bool exclusive) override;
    void write(const QByteArray& data) override;

private:
    bool readLayout(int node, const QByteArray& name, UsbLink::ConnectionMode mode);
    // One report per read, asked for at its exact length: a node that streams (a test bed's
    // terminal) then splits reports as the kernel's HID node does.
    int readSize() const override { return qMin(MaxReport, reports.input.size + (reports.input.id != 0 ? 1 : 0)); }
    void take(QByteArray& stream, const char* bytes, int size) override
    {
        stream.append(hidInputPayload(reports.input, QByteArray(bytes, size)));
    }

    HidReports reports;
};

bool HidUsbLinkBackend::open(const QString& path, UsbLink::ConnectionMode mode, bool)
{
    close();
    const QByteArray name = QFile::encodeName(path);
    const int descriptor = ::open(name.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        const int error = errno;
        qWarning("UsbLink::usbConnect cannot open \"%s\": %s", name.constData(), strerror(error));
        return false;
    }
    if (!readLayout(descriptor, name, mode)) {
        ::close(descriptor);
        return false;
    }
    watch(descriptor, mode);
    return true;
}

bool HidUsbLinkBackend::readLayout(int node, const QByteArray& name, UsbLink::ConnectionMode mode)
{
    int size = 0;
    hidraw_report_descriptor descriptor{};
    if (::ioctl(node, HIDIOCGRDESCSIZE, &size) < 0 || size <= 0 || size > HID_MAX_DESCRIPTOR_SIZE) {
        qWarning("UsbLink::usbConnect cannot read the report descriptor size of \"%s\"", name.constData());
        return false;
    }
    descriptor.size = quint32(size);
    if (::ioctl(node, HIDIOCGRDESC, &descriptor) < 0) {
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

void HidUsbLinkBackend::write(const QByteArray& data)
{
    const int room = reports.output.capacity();
    const QList<QByteArray> units = hidOutputReports(reports.output, data);
    for (int i = 0; i < units.size(); ++i)
        queue(units.at(i), data.mid(i * room, room));
}

} // namespace

UsbLinkBackend* createHidBackend(UsbLink* link)
{
    return new HidUsbLinkBackend(link);
}
