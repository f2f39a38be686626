#ifndef KTSURVIVES_P_H
#define KTSURVIVES_P_H

#include <QObject>
#include <QPointer>

// The host may delete a device, and with it every property the device owns, from any slot
// connected to something the driver emits: a device's message, a property's valueChanged, an
// editor's signal. Driver code that goes on after such an emission runs it through this and
// returns at once, touching nothing, when object did not survive it.
template <typename Emission>
bool kt_survives(const QObject* object, Emission&& emission)
{
    const QPointer<const QObject> alive(object);
    emission();
    return !alive.isNull();
}

#endif // KTSURVIVES_P_H
