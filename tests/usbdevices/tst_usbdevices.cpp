#include "usbdevices.h"
#include "usbtestbed.h"

#include <QtTest>

#include <sys/stat.h>

namespace {

// One USB device with one interface (and the driver bound to it, if any); more lines for
// the device and the interface after them.
QString usbDevice(const QString& port, int devnum, const QString& product, int interfaceClass, const QString& driver,
                  const QString& deviceMore = QString(), const QString& interfaceMore = QString())
{
    const QString dev = QStringLiteral("/devices/pci0000:00/0000:00:14.0/usb1/") + port;
    QString text = QStringLiteral("P: %1\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nA: busnum=1\nA: devnum=%2\n"
                                  "A: idVendor=fffe\nA: idProduct=%3\nA: serial=SN-%3\nA: product=Cutter %3\n%6\n"
                                  "P: %1/%4:1.0\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n"
                                  "A: bInterfaceClass=%5\nA: bInterfaceNumber=00\n%7")
                       .arg(dev)
                       .arg(devnum)
                       .arg(product, port)
                       .arg(interfaceClass, 2, 16, QLatin1Char('0'))
                       .arg(deviceMore, interfaceMore);
    if (!driver.isEmpty())
        text += QStringLiteral("L: driver=../../../../../../bus/usb/drivers/%1\n").arg(driver);
    return text + QLatin1Char('\n');
}

// A node of a kernel class below the interface of a device made by usbDevice.
QString classNode(const QString& port, const QString& below, const QString& subsystem, const QString& node)
{
    return QStringLiteral("P: /devices/pci0000:00/0000:00:14.0/usb1/%1/%1:1.0/%2\nN: %3=00\nE: SUBSYSTEM=%4\n\n")
        .arg(port, below, node, subsystem);
}

// One device of each kind, a built-in serial port that is not a candidate, a vendor-class
// interface without a bulk pair (not one either).
QString system()
{
    return usbDevice("1-1", 2, "0001", 0x02, "cdc_acm") + classNode("1-1", "tty/ttyACM0", "tty", "ttyACM0")
           + usbDevice("1-2", 3, "0002", 0x07, "usblp") + classNode("1-2", "usbmisc/lp0", "usbmisc", "usb/lp0")
           + usbDevice("1-3", 4, "0003", 0x03, "usbhid")
           + classNode("1-3", "0003:FFFE:0003.0001/hidraw/hidraw0", "hidraw", "hidraw0")
           + usbDevice("1-4", 9, "0004", 0xff, QString(), "N: bus/usb/001/009=00\n",
                       "A: ep_01/type=Bulk\nA: ep_01/direction=out\nA: ep_82/type=Bulk\nA: ep_82/direction=in\n")
           + usbDevice("1-5", 5, "0005", 0xff, QString(), QString(), "A: ep_83/type=Interrupt\nA: ep_83/direction=in\n")
           + "P: /devices/platform/serial8250/tty/ttyS0\nN: ttyS0=00\nE: SUBSYSTEM=tty\n";
}

} // namespace

class tst_UsbDevices : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void everyKindIsListed();
    void bulkAddressFindsTheNode_data();
    void bulkAddressFindsTheNode();
    void nodeAccess_data();
    void nodeAccess();

private:
    UsbTestbed bed;
};

void tst_UsbDevices::initTestCase()
{
    if (!UsbTestbed::active())
        QFAIL("run under umockdev-wrapper: the emulated devices are not visible otherwise");
    QVERIFY(bed.add(system()));
}

// Kind, node, path, ids, serial, interface number and class, driver, access: one line each.
void tst_UsbDevices::everyKindIsListed()
{
    QStringList got;
    for (const UsbCandidate& c : listUsbCandidates())
        got << QStringLiteral("%1 %2 %3 %4:%5 %6 %7/%8 %9 %10")
                   .arg(UsbCandidate::kindName(c.kind), c.node, c.path)
                   .arg(c.vendorId, 4, 16, QLatin1Char('0'))
                   .arg(c.productId, 4, 16, QLatin1Char('0'))
                   .arg(c.serial)
                   .arg(c.interfaceNumber)
                   .arg(c.interfaceClass, 2, 16, QLatin1Char('0'))
                   .arg(c.driver.isEmpty() ? QStringLiteral("-") : c.driver, c.mayOpen ? "open" : c.fix);
    // Not the built-in port, not the vendor interface without a bulk pair; the bed's nodes are
    // open to everyone.
    QCOMPARE(got, (QStringList{"serial /dev/ttyACM0 /dev/ttyACM0 fffe:0001 SN-0001 0/02 cdc_acm open",
                               "printer /dev/usb/lp0 /dev/usb/lp0 fffe:0002 SN-0002 0/07 usblp open",
                               "hid /dev/hidraw0 /dev/hidraw0 fffe:0003 SN-0003 0/03 usbhid open",
                               "bulk /dev/bus/usb/001/009 usb:fffe:0004:SN-0004 fffe:0004 SN-0004 0/ff - open"}));
}

void tst_UsbDevices::bulkAddressFindsTheNode_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("node");
    QTest::newRow("ids") << "usb:fffe:0004"
                         << "/dev/bus/usb/001/009";
    QTest::newRow("ids and serial") << "usb:FFFE:0004:SN-0004"
                                    << "/dev/bus/usb/001/009";
    QTest::newRow("wrong serial") << "usb:fffe:0004:SN-9"
                                  << "";
    QTest::newRow("a HID device's ids") << "usb:fffe:0003"
                                        << "";
    QTest::newRow("not hex") << "usb:cutter:0004"
                             << "";
    QTest::newRow("not an address") << "/dev/bus/usb/001/009"
                                    << "";
}

void tst_UsbDevices::bulkAddressFindsTheNode()
{
    QFETCH(QString, address);
    QTEST(findUsbBulkNode(address), "node");
}

void tst_UsbDevices::nodeAccess_data()
{
    QTest::addColumn<uint>("mode");
    QTest::addColumn<uint>("uid");
    QTest::addColumn<bool>("inGroup");
    QTest::addColumn<bool>("allowed");
    // Node owned by uid 10, group 20.
    QTest::newRow("owner, rw") << 0600u << 10u << false << true;
    QTest::newRow("group member, group rw") << 0660u << 11u << true << true;
    QTest::newRow("group member, only others may") << 0606u << 11u << true << false;
    QTest::newRow("outsider, others rw") << 0666u << 11u << false << true;
    QTest::newRow("root, no bits") << 0000u << 0u << false << true;
}

void tst_UsbDevices::nodeAccess()
{
    QFETCH(uint, mode);
    QFETCH(uint, uid);
    QFETCH(bool, inGroup);
    QTEST(usbNodeAllows(10, 20, S_IFCHR | mode, uid, inGroup ? QList<gid_t>{5, 20} : QList<gid_t>{5}), "allowed");
}

QTEST_MAIN(tst_UsbDevices)
#include "tst_usbdevices.moc"
