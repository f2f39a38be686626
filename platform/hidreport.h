#ifndef HIDREPORT_H
#define HIDREPORT_H

#include "usblink.h"

#include <QByteArray>
#include <QList>

// The reports a HID cutter exchanges, read from its report descriptor, and how bytes of a
// stream travel in them.
//
// A report carries `size` data bytes. When its first field is one byte on its own followed
// by more fields (a count, then the data), that byte holds how many of the following bytes
// are data; otherwise the data fills the report from the start and zero bytes pad the rest,
// so trailing zeros are taken as padding (the cutter's protocol is text and never ends a
// piece with a NUL).
struct HidReportLayout
{
    int id = 0;              // report ID, 0 when the device numbers no reports
    int size = 0;            // data bytes per report, the ID byte not counted
    bool lengthByte = false; // the first data byte counts the bytes that follow it

    bool isValid() const { return size > (lengthByte ? 1 : 0); }
    // Stream bytes one report carries.
    int capacity() const { return size - (lengthByte ? 1 : 0); }
};

struct HidReports
{
    HidReportLayout input;  // the first input report the descriptor declares
    HidReportLayout output; // the first output report the descriptor declares
};

USBLINK_EXPORT HidReports parseHidReportDescriptor(const QByteArray& descriptor);

// The reports, ready for write() on a hidraw node (first byte: report ID, 0 if unnumbered),
// that carry data.
USBLINK_EXPORT QList<QByteArray> hidOutputReports(const HidReportLayout& layout, const QByteArray& data);
// The stream bytes in one report as read() from a hidraw node returns it.
USBLINK_EXPORT QByteArray hidInputPayload(const HidReportLayout& layout, const QByteArray& report);

#endif // HIDREPORT_H
