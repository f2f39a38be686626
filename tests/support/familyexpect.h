// Shared by the family tests: what a cutter relies on in each built parameter, written by hand
// from the cutter's command set and independent of the builders' own tables, and the
// comparison of a built device against a list of them.
//
// Only the facts a fault would break are listed: the key and its creation order, the value's
// type and default (the type decides how replies are parsed), the command codes, kind and
// length, the editor's range and scale (what a user can send) and the children a group reads
// and writes through. Captions, units and editor kinds are left to the translation tests, so a
// text change in the plug-in needs no edit here.
#ifndef FAMILYEXPECT_H
#define FAMILYEXPECT_H

#include "ktdeviceinterface.h"
#include "ktdeviceproperty.h"

#include <QDateTime>
#include <QJsonObject>
#include <QStringList>
#include <QVariant>
#include <QVector>

struct Expected
{
    const char* key;
    QVariant value; // type and default; an invalid QDateTime stands for "the time of creation"
    int get;
    int set;
    int length;
    KTDeviceInterface::KTDeviceCMDType kind;
    QJsonObject range;         // editor "min", "max", "factor"; a combo's item count as "items"
    QStringList children = {}; // attachment order
    QStringList param = {};
};

// The editor ranges of the rows above.
QJsonObject range(double min, double max);
QJsonObject range(double min, double max, double factor);
QJsonObject scaled(double factor);
QJsonObject items(int count);

QString describe(const Expected& e);
QString describe(const QByteArray& key, const KTDeviceProperty* p);
QStringList keysOf(const QObject* device);

// One parameter as expected: described alike, no parameter list beyond the expected one, no
// parent, a creation time between the two given, every child the device's own property.
void compareProperty(KTDeviceInterface* device, const Expected& e, const QDateTime& builtAfter,
                     const QDateTime& builtBefore);

// The device holds exactly the expected keys in creation order, each as compareProperty says.
void compareDevice(KTDeviceInterface* device, const QVector<Expected>& expected, const QDateTime& builtAfter,
                   const QDateTime& builtBefore);

// The family-437 sets, which the RV8 builds on.
namespace Family437 {
QVector<Expected> base();
QVector<Expected> info();
QVector<Expected> cameraOffset();
QVector<Expected> scale();
QVector<Expected> workArea();
} // namespace Family437

#endif // FAMILYEXPECT_H
