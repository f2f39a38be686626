#include "cutterbridges.h"
#include "simprocess.h"
#include "usbtestbed.h"

#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

namespace {

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
    void unplugDuringACut_data();
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
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("command");
    for (const QString kind : {"bulk", "hid"}) {
        QTest::addRow("info over %s", qPrintable(kind)) << kind << QStringList{"info"};
        QTest::addRow("short cut over %s", qPrintable(kind)) << kind << QStringList{"cut", sample()};
    }
}

// The same command against two fresh simulators: over the terminal, then over the emulated
// USB device. The output (the status messages included) is the same, and so are the frames
// the simulator received.
void tst_UsbCutter::sameAsOverTheTerminal()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, command);
    SimProcess direct({"--pty", "--no-tcp"});
    QVERIFY(direct.start());
    UsbTestbed bed;
    const std::unique_ptr<CutterBridge> terminal = bridgeCutter("pty", bed, direct.ptyPath);
    QVERIFY(terminal && !terminal->address().isEmpty());
    const Run overPty = ktrv8(command + QStringList{"--usb", terminal->address()});
    QVERIFY2(overPty.code == 0, qPrintable(overPty.err));

    SimProcess behind({"--pty", "--no-tcp"});
    QVERIFY(behind.start());
    const std::unique_ptr<CutterBridge> bridge = bridgeCutter(kind, bed, behind.ptyPath);
    QVERIFY(bridge && !bridge->address().isEmpty());
    const Run overUsb = ktrv8(command + QStringList{"--usb", bridge->address()});
    QVERIFY2(overUsb.code == 0, qPrintable(overUsb.err));
    // Progress lines come as time passes, so their number varies from run to run.
    const auto steady = [](QString text, const QString& address) {
        return text.replace(address, "ADDRESS")
            .remove(QRegularExpression("^progress .*\\n", QRegularExpression::MultilineOption));
    };
    QCOMPARE(steady(overUsb.out, bridge->address()), steady(overPty.out, terminal->address()));
    QCOMPARE(QString(overUsb.err).replace(bridge->address(), "ADDRESS"),
             QString(overPty.err).replace(terminal->address(), "ADDRESS"));
    QVERIFY(!bridge->sent.isEmpty());
    QCOMPARE(ktPayloads(&bridge->sent), ktPayloads(&terminal->sent));
}

void tst_UsbCutter::unplugDuringACut_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("bulk") << "bulk";
    QTest::newRow("hid") << "hid";
}

// Pulled out in the middle of a job: reported as over any USB link.
void tst_UsbCutter::unplugDuringACut()
{
    QFETCH(QString, kind);
    SimProcess sim({"--pty", "--no-tcp"});
    QVERIFY(sim.start());
    UsbTestbed bed;
    const std::unique_ptr<CutterBridge> bridge = bridgeCutter(kind, bed, sim.ptyPath);
    QVERIFY(bridge && !bridge->address().isEmpty());
    const Run run = ktrv8(
        {"cut", sample(), "--copies", "50", "--usb", bridge->address()},
        [](const QByteArray& out) { return out.contains("copy 2/50"); }, [&] { bridge->unplug(); });
    QVERIFY2(run.code != 0, qPrintable(run.out));
    QVERIFY2((run.out + run.err).contains("USB DISCONNECTED."), qPrintable(run.out + run.err));
}

QTEST_MAIN(tst_UsbCutter)
#include "tst_usbcutter.moc"
