// Which backend a path needs. A udev symlink (/dev/kt-rv8-hid) is followed to the node it
// names, so a stable name works as well as the kernel's.
#include "usblink_backend_p.h"

#include <QFileInfo>

UsbLinkBackend::Kind UsbLinkBackend::kindOf(const QString& path)
{
    if (path.startsWith(QLatin1String("usb:")))
        return Bulk;
    const QString real = QFileInfo(path).canonicalFilePath();
    const QString node = real.isEmpty() ? path : real;
    if (node.startsWith(QLatin1String("/dev/bus/usb/")))
        return Bulk;
    if (QFileInfo(node).fileName().startsWith(QLatin1String("hidraw")))
        return Hid;
    return Node;
}

UsbLinkBackend* UsbLinkBackend::create(UsbLink* link, const QString& path)
{
    switch (kindOf(path)) {
    case Hid: return createHidBackend(link);
    case Bulk: return createBulkBackend(link);
    case Node: break;
    }
    return createNodeBackend(link);
}
