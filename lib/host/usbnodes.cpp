#include "usbnodes.h"

#include "hostcommon.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString sysfsText(const QString& dir, const char* name)
{
    QFile file(dir + QLatin1Char('/') + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

// The USB device a tty or printer node belongs to: the first parent folder with idVendor.
QString usbDeviceOf(const QString& node)
{
    const QString name = QFileInfo(node).fileName();
    for (const char* cls : {"/sys/class/tty/", "/sys/class/usbmisc/"}) {
        QString dir = QFileInfo(QLatin1String(cls) + name + QStringLiteral("/device")).canonicalFilePath();
        for (int depth = 0; !dir.isEmpty() && depth < 4; ++depth) {
            if (QFileInfo::exists(dir + QStringLiteral("/idVendor")))
                return dir;
            dir = QFileInfo(dir).path();
        }
    }
    return QString();
}

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

QStringList candidateNodes()
{
    QStringList nodes;
    for (const QString& link : {QStringLiteral("/dev/kt-rv8"), QStringLiteral("/dev/kt-rv8-lp")}) {
        if (QFileInfo::exists(link))
            nodes << link;
    }
    for (const auto& [dir, pattern] : {std::pair{"/dev", "ttyACM*"}, {"/dev", "ttyUSB*"}, {"/dev/usb", "lp*"}}) {
        for (const QString& name :
             QDir(QLatin1String(dir)).entryList({QLatin1String(pattern)}, QDir::System | QDir::Files, QDir::Name))
            nodes << QLatin1String(dir) + QLatin1Char('/') + name;
    }
    return nodes;
}

} // namespace

QString UsbNode::description() const
{
    return QStringLiteral("%1 %2 %3").arg(maker, product, serial).simplified();
}

QJsonObject UsbNode::toJson() const
{
    return QJsonObject{{QStringLiteral("node"), node},       {QStringLiteral("maker"), maker},
                       {QStringLiteral("product"), product}, {QStringLiteral("serial"), serial},
                       {QStringLiteral("ids"), ids},         {QStringLiteral("usable"), usable},
                       {QStringLiteral("fix"), fix}};
}

QList<UsbNode> listUsbNodes()
{
    QList<UsbNode> found;
    for (const QString& node : candidateNodes()) {
        UsbNode entry;
        entry.node = node;
        const QString usb = usbDeviceOf(QFileInfo(node).canonicalFilePath());
        entry.maker = sysfsText(usb, "manufacturer");
        entry.product = sysfsText(usb, "product");
        entry.serial = sysfsText(usb, "serial");
        if (!usb.isEmpty())
            entry.ids = sysfsText(usb, "idVendor") + QLatin1Char(':') + sysfsText(usb, "idProduct");
        entry.usable = ::access(QFile::encodeName(node).constData(), R_OK | W_OK) == 0;
        if (!entry.usable)
            entry.fix = usbPermissionAdvice(node);
        found << entry;
    }
    return found;
}

QString usbPermissionAdvice(const QString& node)
{
    const QString group = groupOf(node);
    return QStringLiteral("sudo usermod -aG %1 $USER (then log in again), or %2")
        .arg(group.isEmpty() ? QStringLiteral("the device's group") : group, QString::fromLatin1(UdevRuleHint));
}

int usbPreflight(const QString& path, QString* error)
{
    if (!QFileInfo(path).exists()) {
        *error = QStringLiteral("device path %1 does not exist: is the cutter plugged in and switched on? "
                                "(ls /dev/ttyACM* /dev/usb/lp* shows the candidates)")
                     .arg(path);
        return ExitNoConnection;
    }
    if (::access(QFile::encodeName(path).constData(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM)) {
        *error = QStringLiteral("permission denied on %1. Join the group that owns it: %2")
                     .arg(path, usbPermissionAdvice(path));
        return ExitNoConnection;
    }
    return ExitOk;
}
