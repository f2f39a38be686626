#ifndef USBNODES_H
#define USBNODES_H

#include <QJsonObject>
#include <QList>
#include <QString>

// A device node a cutter may be on, with what the system knows of it.
struct UsbNode
{
    QString node;
    QString maker;
    QString product;
    QString serial;
    QString ids;         // "vendor:product", empty when no USB device owns the node
    bool usable = false; // this user may open it for reading and writing
    QString fix;         // how to make it usable; empty when it is

    // "maker product serial", the parts that are known.
    QString description() const;
    QJsonObject toJson() const;
};

// The links the project's udev rule makes, then the nodes a cutter may appear as
// (/dev/ttyACM*, /dev/ttyUSB*, /dev/usb/lp*).
QList<UsbNode> listUsbNodes();

// How this user comes to open node: join the group that owns it, or install the udev rule.
QString usbPermissionAdvice(const QString& node);

// Returns an ExitCode. The driver reports a failed open only as "USB ERROR.", so the usual
// causes (no such node, no permission) are looked for before it tries, and explained.
int usbPreflight(const QString& path, QString* error);

#endif // USBNODES_H
