#ifndef CUTTERBRIDGES_H
#define CUTTERBRIDGES_H

#include "emulatedbulkcutter.h"

#include <QByteArray>
#include <QScopedPointer>
#include <QSocketNotifier>
#include <QString>

#include <functional>
#include <memory>

class UsbTestbed;

// A raw, non-blocking descriptor watched from the event loop: what arrives goes to onRead,
// writeAll waits (bounded) while the other end is full.
class RawLine
{
public:
    // owned: the descriptor is closed with the line.
    RawLine(int descriptor, std::function<void(const QByteArray&)> onRead, bool owned = true);
    ~RawLine();
    bool writeAll(QByteArray bytes);
    int descriptor() const { return fd; }

private:
    int fd;
    bool own;
    QScopedPointer<QSocketNotifier> notifier;
};

// The simulated cutter (its terminal) behind an emulated USB device: the bytes the host sends
// through the device reach the simulator unchanged and its answers go back the same way, so
// the host speaks to the same cutter as over the terminal.
class CutterBridge
{
public:
    virtual ~CutterBridge() = default;
    // The address the host is given, once the device is in the bed; empty when that failed.
    virtual QString address() const = 0;
    virtual void unplug() = 0;
    QByteArray sent; // what reached the simulator

protected:
    std::unique_ptr<RawLine> simulator;
};

// kind: "bulk" (vendor-class endpoints through libusb), "hid" (a hidraw node) or "pty" (a
// plain terminal, for comparison).
std::unique_ptr<CutterBridge> bridgeCutter(const QString& kind, UsbTestbed& bed, const QString& simulatorPty);

#endif // CUTTERBRIDGES_H
