// GLib's headers go before Qt's, whose "signals" macro they would trip over.
#include <umockdev.h>

#include "usbtestbed.h"

#include <QtTest>

namespace {

bool succeeded(GError* error, const char* what)
{
    if (!error)
        return true;
    qWarning("UsbTestbed::%s: %s", what, error->message);
    g_error_free(error);
    return false;
}

} // namespace

UsbTestbed::UsbTestbed() : bed(umockdev_testbed_new()) {}

UsbTestbed::~UsbTestbed()
{
    g_object_unref(bed);
}

bool UsbTestbed::active()
{
    // umockdev_in_mock_environment() wants a path in LD_PRELOAD; the wrapper gives a name.
    return qEnvironmentVariable("LD_PRELOAD").contains(QLatin1String("libumockdev-preload"));
}

bool UsbTestbed::add(const QString& description)
{
    GError* error = nullptr;
    umockdev_testbed_add_from_string(bed, description.toUtf8().constData(), &error);
    return succeeded(error, "add");
}

bool UsbTestbed::attachIoctl(const QString& node, UMockdevIoctlBase* handler)
{
    GError* error = nullptr;
    umockdev_testbed_attach_ioctl(bed, node.toUtf8().constData(), handler, &error);
    return succeeded(error, "attachIoctl");
}

QByteArray usbDescriptorsHex(quint16 vendor, quint16 product, int interfaceClass, int packet)
{
    const auto lo = [](int v) { return char(v & 0xff); };
    const auto hi = [](int v) { return char((v >> 8) & 0xff); };
    const char device[] = {0x12,       1,           0,           2, 0, 0, 0, 0x40, lo(vendor),
                           hi(vendor), lo(product), hi(product), 0, 1, 1, 2, 3,    1};
    const char config[] = {9, 2, 32, 0, 1, 1, 0, char(0x80), 0x32};
    const char interface[] = {9, 4, 0, 0, 2, char(interfaceClass), 0, 0, 0};
    const char out[] = {7, 5, 0x01, 2, lo(packet), hi(packet), 0};
    const char in[] = {7, 5, char(0x82), 2, lo(packet), hi(packet), 0};
    QByteArray d;
    for (const QByteArray& part :
         {QByteArray(device, sizeof device), QByteArray(config, sizeof config), QByteArray(interface, sizeof interface),
          QByteArray(out, sizeof out), QByteArray(in, sizeof in)})
        d += part;
    return d.toHex().toUpper();
}
