// GLib's headers go before Qt's, whose "signals" macro they would trip over.
#include <umockdev.h>

#include "usbtestbed.h"

#include <QFile>
#include <QtTest>

namespace {

bool succeeded(GError* error, const char* what)
{
    if (!error)
        return true;
    qWarning("UsbTestbed::%s: %s", what, error->message);
    g_error_free(error);
    return false;
}

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

} // namespace

UsbTestbed::UsbTestbed() : bed(umockdev_testbed_new()) {}

UsbTestbed::~UsbTestbed()
{
    g_object_unref(bed);
}

bool UsbTestbed::active()
{
    // umockdev_in_mock_environment() wants a path in LD_PRELOAD; the wrapper gives a name.
    return qEnvironmentVariable("LD_PRELOAD").contains(QLatin1String("libumockdev-preload"));
}

bool UsbTestbed::add(const QString& description)
{
    GError* error = nullptr;
    umockdev_testbed_add_from_string(bed, description.toUtf8().constData(), &error);
    return succeeded(error, "add");
}

bool UsbTestbed::attachIoctl(const QString& node, UMockdevIoctlBase* handler)
{
    GError* error = nullptr;
    umockdev_testbed_attach_ioctl(bed, node.toUtf8().constData(), handler, &error);
    return succeeded(error, "attachIoctl");
}

bool UsbTestbed::loadIoctl(const QString& node, const QString& recording)
{
    GError* error = nullptr;
    umockdev_testbed_load_ioctl(bed, node.toUtf8().constData(), QFile::encodeName(recording).constData(), &error);
    return succeeded(error, "loadIoctl");
}

int UsbTestbed::deviceFd(const QString& node)
{
    return umockdev_testbed_get_dev_fd(bed, node.toUtf8().constData());
}

QByteArray usbDescriptorsHex(quint16 vendor, quint16 product, int interfaceClass, int packet)
{
    const auto lo = [](int v) { return char(v & 0xff); };
    const auto hi = [](int v) { return char((v >> 8) & 0xff); };
    const char device[] = {0x12,       1,           0,           2, 0, 0, 0, 0x40, lo(vendor),
                           hi(vendor), lo(product), hi(product), 0, 1, 1, 2, 3,    1};
    const char config[] = {9, 2, 32, 0, 1, 1, 0, char(0x80), 0x32};
    const char interface[] = {9, 4, 0, 0, 2, char(interfaceClass), 0, 0, 0};
    const char out[] = {7, 5, 0x01, 2, lo(packet), hi(packet), 0};
    const char in[] = {7, 5, char(0x82), 2, lo(packet), hi(packet), 0};
    QByteArray d;
    for (const QByteArray& part :
         {QByteArray(device, sizeof device), QByteArray(config, sizeof config), QByteArray(interface, sizeof interface),
          QByteArray(out, sizeof out), QByteArray(in, sizeof in)})
        d += part;
    return d.toHex().toUpper();
}

// One device of each kind, a built-in serial port that is not a candidate, a vendor-class
// interface without a bulk pair (not one either).
QString usbDevicesOfEachKind()
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

QString usbBulkCutterRecord(int packet)
{
    const QString hex = QString::fromLatin1(usbDescriptorsHex(0xfffe, 0x0004, 0xff, packet));
    return QStringLiteral("P: /devices/pci0000:00/0000:00:14.0/usb1/1-2\n"
                          "N: bus/usb/001/007=%1\n"
                          "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: BUSNUM=001\nE: DEVNUM=007\n"
                          "A: busnum=1\nA: devnum=7\nA: idVendor=fffe\nA: idProduct=0004\nA: serial=KT0001\n"
                          "H: descriptors=%1\n\n"
                          "P: /devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0\n"
                          "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n"
                          "A: bInterfaceClass=ff\nA: bInterfaceNumber=00\n"
                          "A: ep_01/type=Bulk\nA: ep_01/direction=out\nA: ep_82/type=Bulk\nA: ep_82/direction=in\n")
        .arg(hex);
}

QString usbHidCutterRecord()
{
    return usbDevice("1-6", 6, "0003", 0x03, "usbhid")
           + QStringLiteral("P: /devices/pci0000:00/0000:00:14.0/usb1/1-6/1-6:1.0/0003:FFFE:0003.0003/hidraw/hidraw0\n"
                            "N: hidraw0\nE: DEVNAME=/dev/hidraw0\nE: SUBSYSTEM=hidraw\nA: dev=241:0\n");
}
