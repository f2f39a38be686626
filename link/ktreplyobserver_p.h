#ifndef KTREPLYOBSERVER_P_H
#define KTREPLYOBSERVER_P_H

// Not installed. How a program built together with the plug-in sees the cutter's replies as
// the driver cuts them from its link, on either transport, without reaching into the link.

#include "ktdeviceinterface.h"

#include <QString>
#include <QStringList>

#include <functional>

class KTCommonInterface;

// One reply frame, STX..ETX, read as the driver reads it: "LENGTH;KIND;fields...;".
struct KTReplyFrame
{
    KTDeviceInterface::KTDeviceCMDType kind = KTDeviceInterface::UnCMD;
    // CCMD: the first field; CMD: the number of the first item ("GET10:250" gives 10).
    int code = 0;
    // CCMD: the second field, 0 when the cutter did what was asked; -1 when there is none (CMD).
    int result = -1;
    // CCMD: the fields after the result; CMD: each item's value.
    QStringList values;
};

class KTRV8_EXPORT KTReplyObserver
{
public:
    using Callback = std::function<void(const KTReplyFrame&)>;

    // The callback sees each reply frame the device receives once, before the driver acts on
    // it. A device has one; installing another replaces it, an empty callback removes it.
    // It goes with the device.
    static void install(KTCommonInterface& device, Callback callback);
    static bool installed(const KTCommonInterface& device);

    static KTReplyFrame parse(const QString& frame);
    // The driver's side: hands a frame to the callback, if there is one.
    static void notify(KTCommonInterface& device, const QString& frame);
};

#endif // KTREPLYOBSERVER_P_H
