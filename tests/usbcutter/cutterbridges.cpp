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

// The host writes whole output reports to the node; the test bed's node is a terminal, so
// they arrive here as a stream and are cut at the report size.
class HidBridge : public CutterBridge
{
public:
    explicit HidBridge(UsbTestbed& bed)
    {
        const QString layout = qEnvironmentVariable("KT_SOURCE_DIR") + QStringLiteral("/tests/hidlink/hidraw0.ioctl");
        if (!bed.add(usbHidCutterRecord()) || !bed.loadIoctl(HidNode, layout))
            return;
        const int fd = bed.deviceFd(HidNode);
        if (fd >= 0 && makeRaw(fd))
            device.reset(new RawLine(
                fd, [this](const QByteArray& bytes) { fromHost(bytes); }, false));
    }
    void attach(int simulatorFd)
    {
        simulator.reset(new RawLine(simulatorFd, [this](const QByteArray& bytes) { toHost(bytes); }));
    }
    QString address() const override { return device ? HidNode : QString(); }
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
        for (; inbox.size() >= HidReport; inbox.remove(0, HidReport)) {
            QVERIFY(inbox.at(0) == HidOutId && quint8(inbox.at(1)) <= HidRoom);
            const QByteArray piece = inbox.mid(2, quint8(inbox.at(1)));
            sent += piece;
            simulator->writeAll(piece);
        }
    }
    void toHost(const QByteArray& bytes)
    {
        for (int at = 0; device && at < bytes.size(); at += HidRoom) {
            const QByteArray piece = bytes.mid(at, HidRoom);
            QByteArray report = QByteArray(1, HidInId) + char(piece.size()) + piece;
            device->writeAll(report + QByteArray(HidReport - report.size(), '\0'));
        }
    }
    std::unique_ptr<RawLine> device;
    QByteArray inbox;
};

// A plain terminal in between, for the same record of what the host sent over a tty.
class TerminalBridge : public CutterBridge
{
public:
    TerminalBridge()
    {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return;
        ::close(slave);
        if (!makeRaw(master))
            return;
        path = QString::fromLocal8Bit(name);
        device.reset(new RawLine(master, [this](const QByteArray& bytes) {
            sent += bytes;
            simulator->writeAll(bytes);
        }));
    }
    void attach(int simulatorFd)
    {
        simulator.reset(new RawLine(simulatorFd, [this](const QByteArray& bytes) {
            if (device)
                device->writeAll(bytes);
        }));
    }
    QString address() const override { return device ? path : QString(); }
    void unplug() override { device.reset(); }

private:
    int master = -1;
    QString path;
    std::unique_ptr<RawLine> device;
};

template <typename Bridge, typename... Args>
std::unique_ptr<CutterBridge> attached(int simulatorFd, Args&... args)
{
    auto bridge = std::make_unique<Bridge>(args...);
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
    if (kind == QLatin1String("hid"))
        return attached<HidBridge>(fd, bed);
    if (kind == QLatin1String("bulk"))
        return attached<BulkBridge>(fd, bed);
    return attached<TerminalBridge>(fd);
}
