#include "cutterbridges.h"
#include "usbtestbed.h"

#include <QFile>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QString BulkNode = QStringLiteral("/dev/bus/usb/001/007");
const QString HidNode = QStringLiteral("/dev/hidraw0");

// The HID cutter's reports, as its descriptor (tests/hidlink/hidraw0.ioctl) declares them:
// output ID 3, input ID 2, each a count byte and 31 data bytes.
constexpr char HidOutId = 3, HidInId = 2;
constexpr int HidRoom = 31, HidReport = 1 + 1 + HidRoom;

bool makeRaw(int fd)
{
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    ::cfmakeraw(&tio);
    return ::tcsetattr(fd, TCSANOW, &tio) == 0 && ::fcntl(fd, F_SETFL, O_NONBLOCK) == 0
           && ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

class BulkBridge : public CutterBridge
{
public:
    explicit BulkBridge(UsbTestbed& bed) : cutter({}, EmulatedBulkCutter::StayPlugged)
    {
        // Called on umockdev's thread: the write happens on this one, in order.
        cutter.setForward([this](const QByteArray& bytes) {
            QMetaObject::invokeMethod(&context, [this, bytes] {
                sent += bytes;
                simulator->writeAll(bytes);
            });
        });
        plugged = bed.add(usbBulkCutterRecord(64)) && bed.attachIoctl(BulkNode, cutter.handler());
    }
    void attach(int simulatorFd)
    {
        simulator.reset(new RawLine(simulatorFd, [this](const QByteArray& bytes) { cutter.deliver(bytes); }));
    }
    QString address() const override { return plugged ? QStringLiteral("usb:fffe:0004:KT0001") : QString(); }
    void unplug() override { cutter.unplug(); }

private:
    EmulatedBulkCutter cutter;
    QObject context;
    bool plugged = false;
};

// A terminal whose other end the host opens as the device node: the HID cutter's node in the
// bed, or a plain terminal for the same record of what the host sends over a tty. The host
// writes whole HID reports; on a terminal they arrive as a stream, cut here at the report size.
class NodeBridge : public CutterBridge
{
public:
    explicit NodeBridge(UsbTestbed* bed) : hid(bed)
    {
        const QString layout = qEnvironmentVariable("KT_SOURCE_DIR") + QStringLiteral("/tests/hidlink/hidraw0.ioctl");
        int fd = -1, slave = -1;
        char name[256] = {};
        if (hid && bed->add(usbHidCutterRecord()) && bed->loadIoctl(HidNode, layout))
            fd = bed->deviceFd(HidNode);
        else if (!hid && ::openpty(&fd, &slave, name, nullptr, nullptr) == 0)
            ::close(slave);
        path = hid ? HidNode : QString::fromLocal8Bit(name);
        if (fd >= 0 && makeRaw(fd))
            device.reset(new RawLine(
                fd, [this](const QByteArray& bytes) { fromHost(bytes); }, !hid));
    }
    void attach(int simulatorFd)
    {
        simulator.reset(new RawLine(simulatorFd, [this](const QByteArray& bytes) { toHost(bytes); }));
    }
    QString address() const override { return device ? path : QString(); }
    // The other end of the node goes away (its descriptor now names /dev/null, which the bed
    // may close): the host's reads fail as on a pulled device.
    void unplug() override
    {
        const int fd = device->descriptor();
        device.reset();
        const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        ::dup2(null, fd);
        ::close(null);
    }

private:
    void fromHost(const QByteArray& bytes)
    {
        inbox += bytes;
        while (!inbox.isEmpty() && (!hid || inbox.size() >= HidReport)) {
            QVERIFY(!hid || (inbox.at(0) == HidOutId && quint8(inbox.at(1)) <= HidRoom));
            const QByteArray piece = hid ? inbox.mid(2, quint8(inbox.at(1))) : inbox;
            inbox.remove(0, hid ? HidReport : inbox.size());
            sent += piece;
            simulator->writeAll(piece);
        }
    }
    void toHost(const QByteArray& bytes)
    {
        if (device && !hid)
            device->writeAll(bytes);
        for (int at = 0; device && hid && at < bytes.size(); at += HidRoom) {
            const QByteArray piece = bytes.mid(at, HidRoom);
            const QByteArray report = QByteArray(1, HidInId) + char(piece.size()) + piece;
            device->writeAll(report + QByteArray(HidReport - report.size(), '\0'));
        }
    }
    const bool hid;
    QString path;
    std::unique_ptr<RawLine> device;
    QByteArray inbox;
};

template <typename Bridge, typename Arg>
std::unique_ptr<CutterBridge> attached(int simulatorFd, Arg arg)
{
    auto bridge = std::make_unique<Bridge>(arg);
    bridge->attach(simulatorFd);
    return bridge;
}

} // namespace

RawLine::RawLine(int descriptor, std::function<void(const QByteArray&)> onRead, bool owned)
    : fd(descriptor), own(owned), notifier(new QSocketNotifier(descriptor, QSocketNotifier::Read))
{
    QObject::connect(notifier.data(), &QSocketNotifier::activated, [this, onRead] {
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            onRead(QByteArray(buffer, int(n)));
    });
}

RawLine::~RawLine()
{
    notifier.reset();
    if (own)
        ::close(fd);
}

bool RawLine::writeAll(QByteArray bytes)
{
    while (!bytes.isEmpty()) {
        const ssize_t n = ::write(fd, bytes.constData(), size_t(bytes.size()));
        if (n > 0) {
            bytes.remove(0, int(n));
            continue;
        }
        pollfd p{fd, POLLOUT, 0};
        if ((n < 0 && errno != EAGAIN && errno != EINTR) || ::poll(&p, 1, 5000) <= 0)
            return false;
    }
    return true;
}

std::unique_ptr<CutterBridge> bridgeCutter(const QString& kind, UsbTestbed& bed, const QString& simulatorPty)
{
    const int fd = ::open(QFile::encodeName(simulatorPty).constData(), O_RDWR | O_NOCTTY);
    if (fd < 0 || !makeRaw(fd)) {
        ::close(fd);
        return {};
    }
    if (kind == QLatin1String("bulk"))
        return attached<BulkBridge, UsbTestbed&>(fd, bed);
    return attached<NodeBridge>(fd, kind == QLatin1String("hid") ? &bed : nullptr);
}
