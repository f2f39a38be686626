// PLACEHOLDER (device-link work replaces this file): construction, transports, sending.
#include "ktcommoninterface.h"
#include "ktdeviceproperty.h"

KTCommonInterface::KTCommonInterface(QObject* parent) : KTDeviceInterface(parent)
{
    connect(&deviceTimer, &QTimer::timeout, this, &KTCommonInterface::slot_device_timer);
}
KTCommonInterface::~KTCommonInterface() {}
void KTCommonInterface::setUSBPath(QString) {}
void KTCommonInterface::setIPAddress(QString) {}
bool KTCommonInterface::connectDevice() { return false; }
KTDeviceProperty* KTCommonInterface::property_ptr(const char* key) { return kt_property_of(this, key); }
void KTCommonInterface::sendCMD(QByteArray) {}
void KTCommonInterface::slot_usb_write(QByteArray) {}
void KTCommonInterface::slot_usb_read(QByteArray) {}
void KTCommonInterface::slot_usb_status(int) {}
void KTCommonInterface::slot_tcp_socket_read() {}
void KTCommonInterface::slot_tcp_socket_state(QAbstractSocket::SocketState) {}
