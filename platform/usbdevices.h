#ifndef USBDEVICES_H
#define USBDEVICES_H

#include "usblink.h"

#include <QList>
#include <QString>

#include <sys/types.h>

// Every USB device node a cutter may be reached through, found in sysfs: the four ways a
// small cutter presents itself (a serial tty, a printer-class node, a HID node, a
// vendor-specific interface with bulk endpoints that only a user-space driver speaks).
struct USBLINK_EXPORT UsbCandidate
{
    enum Kind {
        Serial,
        Printer,
        Hid,
        Bulk
    };

    Kind kind = Serial;
    QString node; // the device node: /dev/ttyACM0, /dev/usb/lp0, /dev/hidraw0, /dev/bus/usb/001/011
    QString path; // what UsbLink::usbConnect takes: the node, or usb:VID:PID[:SERIAL] for Bulk
    quint16 vendorId = 0;
    quint16 productId = 0;
    QString serial;  // empty when the device reports none
    QString product; // the device's product string, empty when none
    int interfaceNumber = -1;
    int interfaceClass = -1; // bInterfaceClass of the interface behind the node
    QString driver;          // kernel driver bound to that interface, empty when none
    bool mayOpen = false;    // this user may open the node for reading and writing
    QString fix;             // when mayOpen is false: what gives this user access

    static QString kindName(Kind kind); // "serial", "printer", "hid", "bulk"
};

// Every candidate on the system, in a stable order (by kind, then node).
USBLINK_EXPORT QList<UsbCandidate> listUsbCandidates();

// The usbfs node (/dev/bus/usb/BBB/DDD) of the vendor-bulk device that address
// (usb:VID:PID[:SERIAL], ids in hex) names; empty when none is plugged in.
USBLINK_EXPORT QString findUsbBulkNode(const QString& address);

// Whether a user (uid and the groups it is in) may read and write a node with these owner,
// group and mode bits. Root may always.
USBLINK_EXPORT bool usbNodeAllows(uid_t owner, gid_t group, mode_t mode, uid_t uid, const QList<gid_t>& groups);

#endif // USBDEVICES_H
