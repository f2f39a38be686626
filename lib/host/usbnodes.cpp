#include "usbnodes.h"

#include "hostcommon.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString groupOf(const QString& node)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(node).constData(), &st) != 0)
        return QString();
    const struct group* g = ::getgrgid(st.st_gid);
    return g ? QString::fromLocal8Bit(g->gr_name) : QString::number(st.st_gid);
}

// How to let this user open a cutter's node without joining its group: the rule ships in the
// source tree and the package installs it for udev.
const char* const UdevRuleHint =
    "install the udev rule (the kt-rv8 package puts it in /lib/udev/rules.d/; from the source: "
    "sudo cp packaging/udev/60-kt-rv8.rules /etc/udev/rules.d/ && sudo udevadm control --reload "
    "&& sudo udevadm trigger)";

} // namespace

QString usbCandidateIds(const UsbCandidate& c)
{
    return QStringLiteral("%1:%2").arg(c.vendorId, 4, 16, QLatin1Char('0')).arg(c.productId, 4, 16, QLatin1Char('0'));
}

QString usbClassName(int interfaceClass)
{
    switch (interfaceClass) {
    case 0x02: return QStringLiteral("CDC");
    case 0x03: return QStringLiteral("HID");
    case 0x07: return QStringLiteral("printer");
    case 0x0a: return QStringLiteral("CDC data");
    case 0xff: return QStringLiteral("vendor");
    case -1: return QStringLiteral("unknown");
    default: return QStringLiteral("%1").arg(interfaceClass, 2, 16, QLatin1Char('0'));
    }
}

QString usbCandidateLine(const UsbCandidate& c)
{
    QString line =
        QStringLiteral("%1  %2  [%3] %4")
            .arg(UsbCandidate::kindName(c.kind), -7)
            .arg(c.path, usbCandidateIds(c), c.product.isEmpty() ? QStringLiteral("(unknown product)") : c.product);
    if (!c.serial.isEmpty())
        line += QStringLiteral(" serial %1").arg(c.serial);
    line += QStringLiteral("  interface %1 class %2, driver %3")
                .arg(c.interfaceNumber)
                .arg(usbClassName(c.interfaceClass), c.driver.isEmpty() ? QStringLiteral("none") : c.driver);
    if (c.path != c.node)
        line += QStringLiteral(" (node %1)").arg(c.node);
    line += c.mayOpen ? QStringLiteral("  usable") : QStringLiteral("  NOT usable by this user: %1").arg(c.fix);
    return line;
}

QJsonObject usbCandidateJson(const UsbCandidate& c)
{
    return QJsonObject{{QStringLiteral("kind"), UsbCandidate::kindName(c.kind)},
                       {QStringLiteral("node"), c.node},
                       {QStringLiteral("path"), c.path},
                       {QStringLiteral("ids"), usbCandidateIds(c)},
                       {QStringLiteral("serial"), c.serial},
                       {QStringLiteral("product"), c.product},
                       {QStringLiteral("interface"), c.interfaceNumber},
                       {QStringLiteral("interfaceClass"), c.interfaceClass},
                       {QStringLiteral("driver"), c.driver},
                       {QStringLiteral("usable"), c.mayOpen},
                       {QStringLiteral("fix"), c.fix}};
}

QString usbPermissionAdvice(const QString& node)
{
    const QString group = groupOf(node);
    return QStringLiteral("sudo usermod -aG %1 $USER (then log in again), or %2")
        .arg(group.isEmpty() ? QStringLiteral("the device's group") : group, QString::fromLatin1(UdevRuleHint));
}

int usbPreflight(const QString& path, QString* error)
{
    // A vendor-bulk address names a device by its ids; what opens is its usbfs node.
    const bool byIds = path.startsWith(QLatin1String("usb:"));
    const QString node = byIds ? findUsbBulkNode(path) : path;
    if (node.isEmpty() || !QFileInfo(node).exists()) {
        *error = QStringLiteral("%1 %2 %3: is the cutter plugged in and switched on? (ktrv8 list shows the candidates)")
                     .arg(byIds ? QStringLiteral("no vendor-bulk USB device") : QStringLiteral("device path"), path,
                          byIds ? QStringLiteral("is plugged in") : QStringLiteral("does not exist"));
        return ExitNoConnection;
    }
    if (::access(QFile::encodeName(node).constData(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM)) {
        *error = QStringLiteral("permission denied on %1. Join the group that owns it: %2")
                     .arg(node, usbPermissionAdvice(node));
        return ExitNoConnection;
    }
    return ExitOk;
}
