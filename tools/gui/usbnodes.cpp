#include "usbnodes.h"

#include <QDir>

QStringList usbNodes()
{
    QStringList nodes;
    if (QFileInfo::exists(QStringLiteral("/dev/kt-rv8")))
        nodes << QStringLiteral("/dev/kt-rv8");
    for (const QString& pattern : {QStringLiteral("ttyACM*"), QStringLiteral("ttyUSB*")}) {
        for (const QString& name : QDir(QStringLiteral("/dev")).entryList({pattern}, QDir::System))
            nodes << QStringLiteral("/dev/") + name;
    }
    for (const QString& name : QDir(QStringLiteral("/dev/usb")).entryList({QStringLiteral("lp*")}, QDir::System))
        nodes << QStringLiteral("/dev/usb/") + name;
    return nodes;
}
