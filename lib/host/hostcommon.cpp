#include "hostcommon.h"

#include <QCommandLineParser>
#include <QHostAddress>

QString exitCodeHelp()
{
    return QStringLiteral("Exit codes:\n"
                          "  0    done\n"
                          "  1    failed for another reason\n"
                          "  2    bad arguments, unknown key or value out of range\n"
                          "  3    the plug-in or the simulator could not be loaded or started\n"
                          "  4    no connection: refused, device path missing, permission denied\n"
                          "  5    the cutter did not answer (a key, the stop) or --timeout ran out\n"
                          "  6    the connection was lost (before or during the job)\n"
                          "  7    the cutter stopped the job itself\n"
                          "  8    a scanned QR code has no job file\n"
                          "  9    the cutter refused a setting, or holds another value than was set\n"
                          "  10   cut, but not recorded: the fleet service did not keep the work record\n"
                          "  130  stopped with Ctrl-C (after the cutter confirmed the stop)\n");
}

QString Address::describe() const
{
    if (usb)
        return path;
    // Bracketed as in URLs, so that the text reads back as the same address.
    const QString shown = host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return QStringLiteral("%1:%2").arg(shown).arg(port);
}

QString Address::cutterKey() const
{
    if (usb)
        return QStringLiteral("usb:") + (path.startsWith(QLatin1Char('/')) ? QDir::cleanPath(path) : path);
    const QHostAddress numeric(host);
    Address spelled = *this;
    spelled.host = numeric.isNull() ? host.toLower() : numeric.toString();
    return QStringLiteral("tcp:") + spelled.describe();
}

bool parseAddress(const QString& text, Address* address, QString* error)
{
    *address = Address();
    if (text.startsWith(QLatin1Char('/')) || text.startsWith(QLatin1String("usb:"))) {
        address->usb = true;
        address->path = text;
        return true;
    }
    // [v6]:PORT as in URLs; a bare IPv6 address has more than one colon and no port.
    const int close = text.startsWith(QLatin1Char('[')) ? text.indexOf(QLatin1Char(']')) : -1;
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    const bool withPort = close > 0 ? colon == close + 1 : colon > 0 && text.count(QLatin1Char(':')) == 1;
    address->host = close > 0 ? text.mid(1, close - 1) : withPort ? text.left(colon) : text;
    if (close > 0 && !withPort && close + 1 < text.size()) {
        *error = QStringLiteral("\"%1\" is no address: after [HOST] comes :PORT or nothing").arg(text);
        return false;
    }
    if (withPort) {
        bool ok = false;
        const int port = text.mid(colon + 1).toInt(&ok);
        if (!ok || port < 1 || port > 65535) {
            *error = QStringLiteral("the port must be a number from 1 to 65535, not \"%1\"").arg(text.mid(colon + 1));
            return false;
        }
        address->port = quint16(port);
    }
    if (address->host.isEmpty()) {
        *error = QStringLiteral("no host in \"%1\"").arg(text);
        return false;
    }
    return true;
}

QString localeForLanguage(const QString& language)
{
    if (language == QLatin1String("en") || language == QLatin1String("en_US"))
        return QStringLiteral("en_US");
    if (language == QLatin1String("ja") || language == QLatin1String("ja_JP"))
        return QStringLiteral("ja_JP");
    if (language == QLatin1String("zh") || language == QLatin1String("zh_CN"))
        return QStringLiteral("zh_CN");
    return QString();
}

bool parseAddressOptions(const QCommandLineParser& parser, Address* address, bool* haveAddress, QString* error)
{
    const bool tcp = parser.isSet(QStringLiteral("tcp"));
    const bool usb = parser.isSet(QStringLiteral("usb"));
    if (tcp && usb) {
        *error = QStringLiteral("give either --tcp or --usb, not both");
        return false;
    }
    *haveAddress = tcp || usb;
    if (tcp && (!parseAddress(parser.value(QStringLiteral("tcp")), address, error) || address->usb)) {
        *error = QStringLiteral("--tcp takes HOST[:PORT]: ")
                 + (address->usb ? QStringLiteral("a path is given with --usb") : *error);
        return false;
    }
    if (usb) {
        address->usb = true;
        address->path = parser.value(QStringLiteral("usb"));
    }
    return true;
}
