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

#endif // USBTESTBED_H
