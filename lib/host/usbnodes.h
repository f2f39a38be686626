#ifndef USBNODES_H
#define USBNODES_H

#include "usbdevices.h"

#include <QJsonObject>
#include <QList>
#include <QString>

// The host's view of the USB candidates the platform finds (serial, printer, HID, vendor
// bulk): one line of text and one JSON object each, the same for the command line and the window.

// "kind  path  [vendor:product] product serial S  interface N class CC (name), driver D  usable"
// or "... NOT usable by this user: <fix>".
QString usbCandidateLine(const UsbCandidate& candidate);
QJsonObject usbCandidateJson(const UsbCandidate& candidate);
// "vendor:product" in four hex digits each.
QString usbCandidateIds(const UsbCandidate& candidate);
// The name of a USB interface class a cutter may present ("CDC data", "printer", "HID",
// "vendor"), or its number in hex.
QString usbClassName(int interfaceClass);

// How this user comes to open node: join the group that owns it, or install the udev rule.
QString usbPermissionAdvice(const QString& node);

// Returns an ExitCode. The driver reports a failed open only as "USB ERROR.", so the usual
// causes (no such node, no such device for a usb:VID:PID address, no permission) are looked
// for before it tries, and explained.
int usbPreflight(const QString& path, QString* error);

#endif // USBNODES_H
