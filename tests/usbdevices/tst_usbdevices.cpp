#include "usbdevices.h"
#include "usbtestbed.h"

#include <QtTest>

#include <sys/stat.h>

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
    QVERIFY(bed.add(usbDevicesOfEachKind()));
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
