#include "emulatedbulkcutter.h"
#include "simprocess.h"
#include "usbtestbed.h"

#include <QProcess>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QtTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QString BulkNode = QStringLiteral("/dev/bus/usb/001/007");
const QString BulkAddress = QStringLiteral("usb:fffe:0004:KT0001");

// The simulated cutter behind an emulated vendor-bulk device: the bytes of the host's OUT
// transfers go to the simulator's terminal unchanged, what it answers completes the IN
// transfers. So the host speaks to the same cutter as over the terminal, through libusb.
class BulkBridge
{
public:
    explicit BulkBridge(const QString& pty) : cutter({}, EmulatedBulkCutter::StayPlugged)
    {
        fd = ::open(QFile::encodeName(pty).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio{};
        if (fd < 0 || ::tcgetattr(fd, &tio) != 0)
            return;
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
        notifier.reset(new QSocketNotifier(fd, QSocketNotifier::Read));
        QObject::connect(notifier.data(), &QSocketNotifier::activated, [this] {
            char buffer[4096];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                cutter.deliver(QByteArray(buffer, int(n)));
        });
        // Called on umockdev's thread: the write happens on this one, in order.
        cutter.setForward([this](const QByteArray& bytes) {
            QMetaObject::invokeMethod(notifier.data(), [this, bytes] {
                sent += bytes;
                writeAll(bytes);
            });
        });
    }
    ~BulkBridge()
    {
        notifier.reset();
        if (fd >= 0)
            ::close(fd);
    }
    bool open() const { return notifier; }

    EmulatedBulkCutter cutter;
    QByteArray sent; // what reached the simulator

private:
    void writeAll(QByteArray bytes)
    {
        while (!bytes.isEmpty()) {
            const ssize_t n = ::write(fd, bytes.constData(), size_t(bytes.size()));
            if (n > 0)
                bytes.remove(0, int(n));
            else if (errno != EAGAIN && errno != EINTR)
                return;
        }
    }
    int fd = -1;
    QScopedPointer<QSocketNotifier> notifier;
};

struct Run
{
    int code = -1;
    QString out, err;
};

// ktrv8 as a child process that sees the emulated devices; the event loop keeps turning
// (the bridge lives on it) until it ends, or until stop says so, when it is waited for.
Run ktrv8(const QStringList& arguments, const std::function<bool(const QByteArray&)>& stop = {},
          const std::function<void()>& act = {})
{
    QProcess host;
    QSignalSpy finished(&host, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    QByteArray out;
    QObject::connect(&host, &QProcess::readyReadStandardOutput, [&] { out += host.readAllStandardOutput(); });
    host.start(ktBinary(QStringLiteral("ktrv8")), arguments);
    if (stop) {
        if (!QTest::qWaitFor([&] { return stop(out) || !finished.isEmpty(); }, 60000))
            return {};
        act();
    }
    Run run;
    if (!finished.wait(60000) && finished.isEmpty())
        return run;
    out += host.readAllStandardOutput();
    run.code = host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1;
    run.out = QString::fromLocal8Bit(out);
    run.err = QString::fromLocal8Bit(host.readAllStandardError());
    return run;
}

QString sample()
{
    return qEnvironmentVariable("KT_SOURCE_DIR") + QStringLiteral("/examples/sample.plt");
}

} // namespace

class tst_UsbCutter : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void sameAsOverTheTerminal_data();
    void sameAsOverTheTerminal();
    void unplugDuringACut();
};

void tst_UsbCutter::initTestCase()
{
    if (!UsbTestbed::active())
        QFAIL("run under umockdev-wrapper: the emulated devices are not visible otherwise");
    qRegisterMetaType<QProcess::ExitStatus>();
}

void tst_UsbCutter::sameAsOverTheTerminal_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::newRow("info") << QStringList{"info"};
    QTest::newRow("short cut") << QStringList{"cut", sample()};
}

// The same command against two fresh simulators: over the terminal, then over the emulated
// vendor-bulk device. The output (the status messages included) is the same, and so are the
// frames the simulator received.
void tst_UsbCutter::sameAsOverTheTerminal()
{
    QFETCH(QStringList, command);
    SimProcess direct({"--pty", "--no-tcp"});
    QVERIFY(direct.start());
    const Run overPty = ktrv8(command + QStringList{"--usb", direct.ptyPath});
    QVERIFY2(overPty.code == 0, qPrintable(overPty.err));

    SimProcess behind({"--pty", "--no-tcp"});
    QVERIFY(behind.start());
    UsbTestbed bed;
    QVERIFY(bed.add(usbBulkCutterRecord(64)));
    BulkBridge bridge(behind.ptyPath);
    QVERIFY(bridge.open());
    QVERIFY(bed.attachIoctl(BulkNode, bridge.cutter.handler()));
    const Run overBulk = ktrv8(command + QStringList{"--usb", BulkAddress});
    QVERIFY2(overBulk.code == 0, qPrintable(overBulk.err));
    QCOMPARE(QString(overBulk.out).replace(BulkAddress, "ADDRESS"),
             QString(overPty.out).replace(direct.ptyPath, "ADDRESS"));
    QCOMPARE(QString(overBulk.err).replace(BulkAddress, "ADDRESS"),
             QString(overPty.err).replace(direct.ptyPath, "ADDRESS"));
    QVERIFY(!bridge.sent.isEmpty());
    QCOMPARE(bridge.cutter.received(), bridge.sent);
}

// Pulled out in the middle of a job: reported as over any USB link.
void tst_UsbCutter::unplugDuringACut()
{
    SimProcess sim({"--pty", "--no-tcp"});
    QVERIFY(sim.start());
    UsbTestbed bed;
    QVERIFY(bed.add(usbBulkCutterRecord(64)));
    BulkBridge bridge(sim.ptyPath);
    QVERIFY(bridge.open());
    QVERIFY(bed.attachIoctl(BulkNode, bridge.cutter.handler()));
    const Run run = ktrv8(
        {"cut", sample(), "--copies", "50", "--usb", BulkAddress},
        [](const QByteArray& out) { return out.contains("copy 2/50"); }, [&] { bridge.cutter.unplug(); });
    QVERIFY2(run.code != 0, qPrintable(run.out));
    QVERIFY2((run.out + run.err).contains("USB DISCONNECTED."), qPrintable(run.out + run.err));
}

QTEST_MAIN(tst_UsbCutter)
#include "tst_usbcutter.moc"
