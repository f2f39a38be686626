#ifndef USBTESTBED_H
#define USBTESTBED_H

#include <QByteArray>
#include <QString>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;

// An emulated /sys and /dev for one test (umockdev). The test program runs under
// umockdev-wrapper, whose preload sends the program's /sys and /dev to this bed.
class UsbTestbed
{
public:
    UsbTestbed();
    ~UsbTestbed();
    UsbTestbed(const UsbTestbed&) = delete;
    UsbTestbed& operator=(const UsbTestbed&) = delete;

    // True when the preload is active, so the bed is what the program sees.
    static bool active();

    // Adds devices in umockdev's text form ("P: ...", "A: ...", blank line between devices).
    bool add(const QString& description);
    // Answers the ioctls on node through handler (which the bed then holds a reference to).
    bool attachIoctl(const QString& node, UMockdevIoctlBase* handler);
    // Answers the ioctls on node from a recording (umockdev-record's ioctl format).
    bool loadIoctl(const QString& node, const QString& recording);
    // The test's end of a node added without contents (a terminal's master side, which the
    // bed owns), or -1.
    int deviceFd(const QString& node);

private:
    UMockdevTestbed* bed;
};

// A USB device descriptor, one configuration with one interface of class interfaceClass and
// a bulk OUT 0x01 and bulk IN 0x82 endpoint of packet bytes, as hex for umockdev records.
QByteArray usbDescriptorsHex(quint16 vendor, quint16 product, int interfaceClass, int packet);

// A system with one USB device of each kind a cutter may be (serial fffe:0001, printer
// fffe:0002, HID fffe:0003, vendor bulk fffe:0004 on /dev/bus/usb/001/009), a built-in serial
// port and a vendor-class interface without a bulk pair, neither of them a candidate.
QString usbDevicesOfEachKind();

// A vendor-class cutter fffe:0004, serial KT0001, on /dev/bus/usb/001/007 with the
// descriptors of usbDescriptorsHex.
QString usbBulkCutterRecord(int packet);

// A HID cutter fffe:0003 whose node is /dev/hidraw0, with no contents: a terminal the test
// plays the device on.
QString usbHidCutterRecord();

#endif // USBTESTBED_H
