#include "commands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

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

} // namespace

int commandList(const CommonOptions& options)
{
    const Output out(options.json);
    QStringList nodes;
    // The links the project's udev rule makes, then the nodes a cutter may appear as.
    for (const QString& link : {QStringLiteral("/dev/kt-rv8"), QStringLiteral("/dev/kt-rv8-lp")}) {
        if (QFileInfo::exists(link))
            nodes << link;
    }
    for (const auto& [dir, pattern] : {std::pair{"/dev", "ttyACM*"}, {"/dev", "ttyUSB*"}, {"/dev/usb", "lp*"}}) {
        for (const QString& name :
             QDir(QLatin1String(dir)).entryList({QLatin1String(pattern)}, QDir::System | QDir::Files, QDir::Name))
            nodes << QLatin1String(dir) + QLatin1Char('/') + name;
    }
    QJsonArray list;
    for (const QString& node : nodes) {
        const QString usb = usbDeviceOf(QFileInfo(node).canonicalFilePath());
        const QString maker = sysfsText(usb, "manufacturer"), product = sysfsText(usb, "product"),
                      serial = sysfsText(usb, "serial");
        const QString ids =
            usb.isEmpty() ? QString() : sysfsText(usb, "idVendor") + QLatin1Char(':') + sysfsText(usb, "idProduct");
        const bool usable = ::access(QFile::encodeName(node).constData(), R_OK | W_OK) == 0;
        QString line = QStringLiteral("%1  %2 %3")
                           .arg(node, maker.isEmpty() ? QStringLiteral("(unknown maker)") : maker,
                                product.isEmpty() ? QStringLiteral("(unknown product)") : product);
        if (!serial.isEmpty())
            line += QStringLiteral(" serial %1").arg(serial);
        if (!ids.isEmpty())
            line += QStringLiteral(" [%1]").arg(ids);
        const QString fix = QStringLiteral("sudo usermod -aG %1 $USER (then log in again), or %2")
                                .arg(groupOf(node), QString::fromLatin1(udevRuleHint()));
        line += usable ? QStringLiteral("  usable") : QStringLiteral("  NOT usable by this user: %1").arg(fix);
        out.line(line);
        list.append(QJsonObject{{QStringLiteral("node"), node},
                                {QStringLiteral("maker"), maker},
                                {QStringLiteral("product"), product},
                                {QStringLiteral("serial"), serial},
                                {QStringLiteral("ids"), ids},
                                {QStringLiteral("usable"), usable},
                                {QStringLiteral("fix"), usable ? QString() : fix}});
    }
    if (nodes.isEmpty())
        out.line(QStringLiteral("no candidate USB node (/dev/kt-rv8, /dev/ttyACM*, /dev/ttyUSB*, /dev/usb/lp*): is the "
                                "cutter plugged in and on?"));
    out.result(QJsonObject{{QStringLiteral("nodes"), list}});
    return ExitOk;
}
