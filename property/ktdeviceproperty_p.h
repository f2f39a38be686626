#ifndef KTDEVICEPROPERTY_P_H
#define KTDEVICEPROPERTY_P_H

#include "ktglobal.h"

#include <QString>
#include <QVariant>
#include <QtGlobal>

class KTDeviceInterface;
class KTDeviceProperty;
class QObject;

// Reads a void* dynamic property of any object as a property record (null if absent or
// not a pointer). Shared by the device and the property lookups; exported for the tests.
KTRV8_EXPORT KTDeviceProperty* kt_property_of(const QObject* holder, const char* key);

// How many times any property has been initialised. init may give a property that a device
// already holds new codes or a new kind, which no event reports to the device: what a device
// remembers about its properties' codes is valid only while this count stays the same.
quint64 kt_property_inits();

// Creates a property that holds only a value and a label (no unit, codes, parameters or
// editor), stores it on device under key and returns it.
KTDeviceProperty* kt_store_bare_property(KTDeviceInterface* device, const char* key, const QVariant& value,
                                         const QString& label = QString());

// The property a job's text goes to: TASK_PPLT, else TASK_PLT; null when the device has neither.
KTDeviceProperty* kt_job_property(KTDeviceInterface* device);

#endif // KTDEVICEPROPERTY_P_H
