// PLACEHOLDER (device-link work replaces this file).
#include "usblink.h"

UsbLink::UsbLink(QObject* parent) : QObject(parent) {}
UsbLink::~UsbLink() {}
void UsbLink::usbConnect(QString, ConnectionMode, bool) {}
void UsbLink::send(QString) {}
void UsbLink::close() {}
bool UsbLink::isOpen() const { return false; }
qint64 UsbLink::pendingBytes() const { return 0; }
