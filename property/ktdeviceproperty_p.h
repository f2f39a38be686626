#ifndef KTDEVICEPROPERTY_P_H
#define KTDEVICEPROPERTY_P_H

#include "ktglobal.h"

#include <QString>
#include <QVariant>
#include <QtGlobal>

class KTDeviceInterface;
class KTDeviceProperty;
class QObject;

// A text about to be set on a property, compared ahead with what the property holds (its
// value and the value its last change replaced), so that setting it later reads none of its
// characters while the property still holds those same strings. A page of a job runs to
// megabytes and is set on the cutter's readiness reply, just before it is sent.
class KTRV8_EXPORT KTValueAhead
{
public:
    void compare(const KTDeviceProperty& property, const QString& text);
    // As property.setValue(text); compares nothing when text is the string compared and the
    // property still holds the strings it was compared with.
    void set(KTDeviceProperty& property, const QString& text) const;
    // Whether held is known to equal the text without reading it: it is that string, or one
    // of the strings compared with it and found equal.
    bool knownEqual(const QVariant& held) const;
    // Lets go of the strings (after the page has left: freeing one is not free either).
    void clear();

private:
    QString text;
    QVariant current;
    QVariant previous;
    bool equalsPrevious = false;
    bool equalsCurrent = false;
};

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
