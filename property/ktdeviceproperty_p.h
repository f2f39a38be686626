#ifndef KTDEVICEPROPERTY_P_H
#define KTDEVICEPROPERTY_P_H

#include <QtGlobal>

// How many times any property has been initialised. init may give a property that a device
// already holds new codes or a new kind, which no event reports to the device: what a device
// remembers about its properties' codes is valid only while this count stays the same.
quint64 kt_property_inits();

#endif // KTDEVICEPROPERTY_P_H
