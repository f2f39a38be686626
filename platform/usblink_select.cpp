// Which backend a path needs. A udev symlink (/dev/kt-rv8-hid) is followed to the node it
// names, so a stable name works as well as the kernel's.
#include "usblink_backend_p.h"

#include <QFileInfo>

namespace {

constexpr int MaxLinks = 8;

bool named(const QString& node, UsbLinkBackend::Kind kind)
{
    return kind == UsbLinkBackend::Bulk ? node.startsWith(QLatin1String("/dev/bus/usb/"))
                                        : QFileInfo(node).fileName().startsWith(QLatin1String("hidraw"));
}

} // namespace

// The name as given decides first, then the node a link leads to.
UsbLinkBackend::Kind UsbLinkBackend::kindOf(const QString& path)
{
    if (path.startsWith(QLatin1String("usb:")))
        return Bulk;
    // Links followed one by one (readlink, not realpath, which some test beds mishandle).
    QString real = path;
    for (int hop = 0; hop < MaxLinks && QFileInfo(real).isSymLink(); ++hop)
        real = QFileInfo(real).symLinkTarget();
    for (const Kind kind : {Bulk, Hid}) {
        if (named(path, kind) || named(real, kind))
            return kind;
    }
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
