#include "hostcommon.h"


QString exitCodeHelp()
{
    return QStringLiteral(
        "Exit codes:\n"
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
        "  130  stopped with Ctrl-C (after the cutter confirmed the stop)\n");
}

QString Address::describe() const
{
    return usb ? path : QStringLiteral("%1:%2").arg(host).arg(port);
}

