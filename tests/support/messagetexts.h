#ifndef MESSAGETEXTS_H
#define MESSAGETEXTS_H

#include "ktdeviceinterface.h"

#include <QSignalSpy>
#include <QStringList>

// The texts a spy on a device's message signal caught, in order: all of them, or only those
// of one kind.
QStringList messageTexts(const QSignalSpy& spy);
QStringList messageTexts(const QSignalSpy& spy, KTDeviceInterface::KTDeviceMessage kind);
inline QStringList statusTexts(const QSignalSpy& spy)
{
    return messageTexts(spy, KTDeviceInterface::DevStatus);
}

#endif // MESSAGETEXTS_H
