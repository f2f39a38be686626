#include "usbdevices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const RuleFile = "60-kt-rv8.rules";
constexpr int VendorClass = 0xff;

QString attribute(const QString& dir, const char* name)
{
    QFile file(dir + QLatin1Char('/') + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).trimmed();
}

// Follows a sysfs link by its text (no realpath: a test bed redirects /sys by prefix).
QString followed(const QString& path)
{
    const QFileInfo info(path);
    return info.isSymLink() ? QDir::cleanPath(info.symLinkTarget()) : path;
}

struct UsbParents
{
    QString device;    // the USB device's sysfs directory (has idVendor)
    QString interface; // its interface behind the node (has bInterfaceClass)
};

UsbParents usbParents(const QString& classEntry)
{
    UsbParents found;
    for (QString dir = followed(classEntry); dir.count(QLatin1Char('/')) > 2; dir = QFileInfo(dir).path()) {
        if (found.interface.isEmpty() && QFile::exists(dir + QLatin1String("/bInterfaceClass")))
            found.interface = dir;
        if (QFile::exists(dir + QLatin1String("/idVendor"))) {
            found.device = dir;
            break;
        }
    }
    return found;
}

QList<gid_t> userGroups()
{
    QList<gid_t> groups{getegid()};
    const int n = getgroups(0, nullptr);
    if (n > 0) {
        std::vector<gid_t> list(static_cast<size_t>(n), 0);
        if (getgroups(n, list.data()) == n)
            groups.append(QList<gid_t>(list.begin(), list.end()));
    }
    return groups;
}

void checkAccess(UsbCandidate& c)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(c.node).constData(), &st) != 0) {
        c.fix = QStringLiteral("no device node %1: udev has not made it; plug the cutter in again").arg(c.node);
        return;
    }
    c.mayOpen = usbNodeAllows(st.st_uid, st.st_gid, st.st_mode, geteuid(), userGroups());
    if (c.mayOpen)
        return;
    const group* g = st.st_gid != 0 && (st.st_mode & S_IRGRP) && (st.st_mode & S_IWGRP) ? getgrgid(st.st_gid) : nullptr;
    if (g) {
        c.fix = QStringLiteral("join the group \"%1\" (sudo usermod -aG %1 $USER) and log in again")
                    .arg(QString::fromLocal8Bit(g->gr_name));
        return;
    }
    c.fix = QStringLiteral("install the udev rule %1 (sudo cp %1 /etc/udev/rules.d/ && sudo udevadm control "
                           "--reload && sudo udevadm trigger) and plug the cutter in again")
                .arg(QLatin1String(RuleFile));
}

// Fills c from the USB device above a sysfs entry; false when the entry is not on USB.
bool fill(UsbCandidate& c, const QString& classEntry, QSet<QString>& interfaces)
{
    const UsbParents parents = usbParents(classEntry);
    interfaces.insert(parents.interface);
    if (parents.device.isEmpty())
        return false; // not on USB (a built-in serial port, a Bluetooth HID device)
    c.vendorId = quint16(attribute(parents.device, "idVendor").toUInt(nullptr, 16));
    c.productId = quint16(attribute(parents.device, "idProduct").toUInt(nullptr, 16));
    c.serial = attribute(parents.device, "serial");
    c.product = attribute(parents.device, "product");
    if (!parents.interface.isEmpty()) {
        bool ok = false;
        c.interfaceClass = attribute(parents.interface, "bInterfaceClass").toInt(&ok, 16);
        c.interfaceNumber = attribute(parents.interface, "bInterfaceNumber").toInt(nullptr, 16);
        if (!ok)
            c.interfaceClass = -1;
        c.driver = QFileInfo(followed(parents.interface + QLatin1String("/driver"))).fileName();
        if (!QFileInfo(parents.interface + QLatin1String("/driver")).isSymLink())
            c.driver.clear();
    }
    if (c.path.isEmpty())
        c.path = c.node;
    checkAccess(c);
    return true;
}

struct Scan
{
    QList<UsbCandidate> found;
    QSet<QString> interfaces; // the sysfs interfaces already behind a candidate
};

void addClass(Scan& scan, UsbCandidate::Kind kind, const QString& classDir, const QString& prefix,
              const QString& devDir)
{
    const QStringList names = QDir(classDir).entryList({prefix + QLatin1Char('*')}, QDir::AllEntries | QDir::System);
    for (const QString& name : names) {
        UsbCandidate c;
        c.kind = kind;
        c.node = devDir + name;
        if (fill(c, classDir + QLatin1Char('/') + name, scan.interfaces))
            scan.found.append(c);
    }
}

bool hasBulkPair(const QString& interface)
{
    bool in = false, out = false;
    const QStringList eps = QDir(interface).entryList({QStringLiteral("ep_*")}, QDir::AllEntries | QDir::System);
    for (const QString& ep : eps) {
        const QString dir = interface + QLatin1Char('/') + ep;
        if (attribute(dir, "type") != QLatin1String("Bulk"))
            continue;
        (attribute(dir, "direction") == QLatin1String("in") ? in : out) = true;
    }
    return in && out;
}

// A vendor-specific interface with a bulk pair, unless a kernel driver already made it a
// node listed above (a USB-serial bridge of vendor class becomes a tty).
void addBulk(Scan& scan)
{
    const QString root = QStringLiteral("/sys/bus/usb/devices");
    for (const QString& name : QDir(root).entryList({QStringLiteral("*:*")}, QDir::AllEntries | QDir::System)) {
        const QString interface = followed(root + QLatin1Char('/') + name);
        if (scan.interfaces.contains(interface)
            || attribute(interface, "bInterfaceClass").toInt(nullptr, 16) != VendorClass || !hasBulkPair(interface))
            continue;
        const QString device = QFileInfo(interface).path();
        UsbCandidate c;
        c.kind = UsbCandidate::Bulk;
        c.node = QStringLiteral("/dev/bus/usb/%1/%2")
                     .arg(attribute(device, "busnum").toInt(), 3, 10, QLatin1Char('0'))
                     .arg(attribute(device, "devnum").toInt(), 3, 10, QLatin1Char('0'));
        c.serial = attribute(device, "serial");
        c.path = QStringLiteral("usb:%1:%2")
                     .arg(attribute(device, "idVendor"), attribute(device, "idProduct"))
                     .append(c.serial.isEmpty() ? QString() : QLatin1Char(':') + c.serial);
        if (fill(c, interface, scan.interfaces))
            scan.found.append(c);
    }
}

} // namespace

QString UsbCandidate::kindName(Kind kind)
{
    static const char* const names[] = {"serial", "printer", "hid", "bulk"};
    return QLatin1String(names[kind]);
}

bool usbNodeAllows(uid_t owner, gid_t group, mode_t mode, uid_t uid, const QList<gid_t>& groups)
{
    if (uid == 0)
        return true;
    const mode_t rw = uid == owner             ? (S_IRUSR | S_IWUSR)
                      : groups.contains(group) ? (S_IRGRP | S_IWGRP)
                                               : (S_IROTH | S_IWOTH);
    return (mode & rw) == rw;
}

QList<UsbCandidate> listUsbCandidates()
{
    Scan scan;
    const QString dev = QStringLiteral("/dev/");
    addClass(scan, UsbCandidate::Serial, QStringLiteral("/sys/class/tty"), QStringLiteral("tty"), dev);
    addClass(scan, UsbCandidate::Printer, QStringLiteral("/sys/class/usbmisc"), QStringLiteral("lp"),
             QStringLiteral("/dev/usb/"));
    addClass(scan, UsbCandidate::Hid, QStringLiteral("/sys/class/hidraw"), QStringLiteral("hidraw"), dev);
    addBulk(scan);
    std::stable_sort(scan.found.begin(), scan.found.end(), [](const UsbCandidate& a, const UsbCandidate& b) {
        return a.kind != b.kind ? a.kind < b.kind : a.node < b.node;
    });
    return scan.found;
}

QString findUsbBulkNode(const QString& address)
{
    const QStringList parts = address.split(QLatin1Char(':'));
    if (parts.size() < 3 || parts[0] != QLatin1String("usb"))
        return {};
    bool okVendor = false, okProduct = false;
    const uint vendor = parts[1].toUInt(&okVendor, 16), product = parts[2].toUInt(&okProduct, 16);
    const QString serial = address.section(QLatin1Char(':'), 3); // a serial may hold colons
    if (!okVendor || !okProduct)
        return {};
    for (const UsbCandidate& c : listUsbCandidates()) {
        if (c.kind == UsbCandidate::Bulk && c.vendorId == vendor && c.productId == product
            && (serial.isEmpty() || c.serial == serial))
            return c.node;
    }
    return {};
}
