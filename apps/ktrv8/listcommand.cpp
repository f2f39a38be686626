#include "commands.h"
#include "usbnodes.h"

#include <QJsonArray>
#include <QJsonObject>

int commandList(const CommonOptions& options)
{
    const Output out(options.json);
    const QList<UsbNode> nodes = listUsbNodes();
    QJsonArray list;
    for (const UsbNode& node : nodes) {
        QString line = QStringLiteral("%1  %2 %3")
                           .arg(node.node, node.maker.isEmpty() ? QStringLiteral("(unknown maker)") : node.maker,
                                node.product.isEmpty() ? QStringLiteral("(unknown product)") : node.product);
        if (!node.serial.isEmpty())
            line += QStringLiteral(" serial %1").arg(node.serial);
        if (!node.ids.isEmpty())
            line += QStringLiteral(" [%1]").arg(node.ids);
        line +=
            node.usable ? QStringLiteral("  usable") : QStringLiteral("  NOT usable by this user: %1").arg(node.fix);
        out.line(line);
        list.append(node.toJson());
    }
    if (nodes.isEmpty())
        out.line(QStringLiteral("no candidate USB node (/dev/kt-rv8, /dev/ttyACM*, /dev/ttyUSB*, /dev/usb/lp*): is the "
                                "cutter plugged in and on?"));
    out.result(QJsonObject{{QStringLiteral("nodes"), list}});
    return ExitOk;
}
