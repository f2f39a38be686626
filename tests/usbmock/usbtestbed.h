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

#endif // USBTESTBED_H
