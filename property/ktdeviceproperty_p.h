#ifndef KTDEVICEPROPERTY_P_H
#define KTDEVICEPROPERTY_P_H

#include <QString>
#include <QVariant>
#include <QtGlobal>

class KTDeviceInterface;
class KTDeviceProperty;

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
