#include "simprocess.h"
#include "usbtestbed.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

namespace {

struct Run
{
    int code = -1;
    QByteArray out, err;
};

// ktrv8 as a child process: it inherits the preload and sees the same emulated system.
Run ktrv8(const QStringList& arguments)
{
    QProcess host;
    host.start(ktBinary(QStringLiteral("ktrv8")), arguments);
    Run run;
    if (!host.waitForFinished(30000))
        return run;
    run.code = host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1;
    run.out = host.readAllStandardOutput();
    run.err = host.readAllStandardError();
    return run;
}

} // namespace

class tst_UsbList : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void jsonRowPerKind_data();
    void jsonRowPerKind();
    void textLinePerKind();
    void absentBulkDeviceIsExplained();

private:
    UsbTestbed bed;
    QJsonArray rows;
};

void tst_UsbList::initTestCase()
{
    if (!UsbTestbed::active())
        QFAIL("run under umockdev-wrapper: the emulated devices are not visible otherwise");
    QVERIFY(bed.add(usbDevicesOfEachKind()));
    const Run run = ktrv8({"list", "--json"});
    QVERIFY2(run.code == 0, run.err.constData());
    rows = QJsonDocument::fromJson(run.out).object().value(QStringLiteral("nodes")).toArray();
    QCOMPARE(rows.size(), 4); // not the built-in port, not the interface without a bulk pair
}

void tst_UsbList::jsonRowPerKind_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("node");
    QTest::addColumn<int>("interfaceClass");
    QTest::addColumn<QString>("driver");
    QTest::newRow("serial") << 0 << "serial"
                            << "/dev/ttyACM0"
                            << "/dev/ttyACM0" << 0x02 << "cdc_acm";
    QTest::newRow("printer") << 1 << "printer"
                             << "/dev/usb/lp0"
                             << "/dev/usb/lp0" << 0x07 << "usblp";
    QTest::newRow("hid") << 2 << "hid"
                         << "/dev/hidraw0"
                         << "/dev/hidraw0" << 0x03 << "usbhid";
    QTest::newRow("bulk, connected by ids") << 3 << "bulk"
                                            << "usb:fffe:0004:SN-0004"
                                            << "/dev/bus/usb/001/009" << 0xff << "";
}

void tst_UsbList::jsonRowPerKind()
{
    QFETCH(int, row);
    const QJsonObject got = rows.at(row).toObject();
    QTEST(got.value(QStringLiteral("kind")).toString(), "kind");
    QTEST(got.value(QStringLiteral("path")).toString(), "path");
    QTEST(got.value(QStringLiteral("node")).toString(), "node");
    QTEST(got.value(QStringLiteral("interfaceClass")).toInt(), "interfaceClass");
    QTEST(got.value(QStringLiteral("driver")).toString(), "driver");
    const QString product = QStringLiteral("%1").arg(row + 1, 4, 10, QLatin1Char('0'));
    QCOMPARE(got.value(QStringLiteral("ids")).toString(), "fffe:" + product);
    QCOMPARE(got.value(QStringLiteral("serial")).toString(), "SN-" + product);
    // The bed's nodes are open to everyone, so there is nothing to fix.
    QCOMPARE(got.value(QStringLiteral("usable")).toBool(), true);
    QCOMPARE(got.value(QStringLiteral("fix")).toString(), QString());
}

// One line per candidate, in the same order, with what a user needs to choose and connect.
void tst_UsbList::textLinePerKind()
{
    const Run run = ktrv8({"list"});
    QCOMPARE(run.code, 0);
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY2(lines[0].startsWith("serial   /dev/ttyACM0  [fffe:0001] Cutter 0001 serial SN-0001"), lines[0]);
    QVERIFY2(lines[2].contains("interface 0 class HID, driver usbhid  usable"), lines[2]);
    QVERIFY2(lines[3].contains("usb:fffe:0004:SN-0004  [fffe:0004]")
                 && lines[3].contains("driver none (node "
                                      "/dev/bus/usb/001/009)"),
             lines[3]);
}

// The driver reports a failed open only as "USB ERROR.": an address naming no plugged-in
// device is caught and explained before it tries.
void tst_UsbList::absentBulkDeviceIsExplained()
{
    const Run run = ktrv8({"info", "--usb", "usb:fffe:0009"});
    QCOMPARE(run.code, 4);
    QVERIFY2(run.err.contains("no vendor-bulk USB device usb:fffe:0009 is plugged in"), run.err.constData());
}

QTEST_MAIN(tst_UsbList)
#include "tst_usblist.moc"
