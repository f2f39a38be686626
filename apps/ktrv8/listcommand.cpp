#include "commands.h"
#include "usbnodes.h"

#include <QJsonArray>
#include <QJsonObject>

int commandList(const CommonOptions& options)
{
    const Output out(options.json);
    const QList<UsbCandidate> candidates = listUsbCandidates();
    QJsonArray list;
    for (const UsbCandidate& candidate : candidates) {
        out.line(usbCandidateLine(candidate));
        list.append(usbCandidateJson(candidate));
    }
    if (candidates.isEmpty())
        out.line(QStringLiteral("no USB candidate (a serial tty, a printer node, a HID node or a vendor-class "
                                "device with bulk endpoints): is the cutter plugged in and on?"));
    out.result(QJsonObject{{QStringLiteral("nodes"), list}});
    return ExitOk;
}
