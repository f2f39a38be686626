#include "hostcommon.h"

#include <QJsonDocument>

#include <cstdio>
#include <unistd.h>

QString exitCodeHelp()
{
    return QStringLiteral(
        "Exit codes:\n"
        "  0    done\n"
        "  1    failed for another reason\n"
        "  2    bad arguments, unknown key or value out of range\n"
        "  3    the plug-in or the simulator could not be loaded or started\n"
        "  4    no connection: refused, device path missing, permission denied\n"
        "  5    the cutter did not answer in time\n"
        "  6    the connection was lost during the job\n"
        "  7    the cutter stopped the job itself\n"
        "  8    a scanned QR code has no job file\n"
        "  130  stopped with Ctrl-C (after the cutter confirmed the stop)\n");
}

QString Address::describe() const
{
    return usb ? path : QStringLiteral("%1:%2").arg(host).arg(port);
}

void Output::line(const QString& text) const
{
    if (json)
        return;
    std::fprintf(stdout, "%s\n", qPrintable(text));
    std::fflush(stdout);
}

void Output::error(const QString& text) const
{
    std::fprintf(stderr, "ktrv8: %s\n", qPrintable(text));
    std::fflush(stderr);
}

void Output::result(const QJsonObject& object) const
{
    if (!json)
        return;
    std::fprintf(stdout, "%s\n", QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

bool Output::terminal()
{
    return ::isatty(STDOUT_FILENO) == 1;
}
