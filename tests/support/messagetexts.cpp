#include "messagetexts.h"

QStringList messageTexts(const QSignalSpy& spy)
{
    QStringList out;
    for (const QList<QVariant>& args : spy)
        out << args.at(1).toString();
    return out;
}

QStringList messageTexts(const QSignalSpy& spy, KTDeviceInterface::KTDeviceMessage kind)
{
    QStringList out;
    for (const QList<QVariant>& args : spy) {
        if (args.at(0).value<KTDeviceInterface::KTDeviceMessage>() == kind)
            out << args.at(1).toString();
    }
    return out;
}
