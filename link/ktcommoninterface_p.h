#ifndef KTCOMMONINTERFACE_P_H
#define KTCOMMONINTERFACE_P_H

// Not installed. What the tests, fuzzers, benchmarks and tools built together with the
// plug-in may reach inside a device besides the interface a host programs against.

#include "ktcommoninterface.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

class KTRV8_EXPORT KTCommonInterfacePrivate
{
public:
    // Bytes kept without a complete frame before the oldest are dropped.
    static constexpr int MaxPendingReplyBytes = 1 << 20;

    // The language code that systemLanguage chooses for a locale name such as "zh_CN".
    static QString languageForLocale(const QString& localeName);
    static QString languageCode(const KTCommonInterface& device) { return device.language; }

    // Received bytes that hold no complete frame yet.
    static const QByteArray& receiveBuffer(const KTCommonInterface& device) { return device.recvBuffer; }

    // The cloud's number for the model that a device code names.
    static int modelNumber(const QString& code);
    // The record the device keeps of itself for the cloud.
    static QJsonObject cloudRecord(const KTCommonInterface& device) { return device.cloudDevice; }
    // The wait before a device lookup that got no answer is repeated (10 s).
    static void setCloudRetryInterval(KTCommonInterface& device, int ms) { device.cloudRetryMs = ms; }

    // Hand a device what the cloud answered (status 0: no HTTP answer), as its requests do.
    static void handle_device_model_reply(KTCommonInterface& device, int httpStatus, const QByteArray& body)
    {
        device.handle_device_model_reply(httpStatus, body);
    }
    static void handle_device_lookup_reply(KTCommonInterface& device, int httpStatus, const QByteArray& body)
    {
        device.handle_device_lookup_reply(httpStatus, body);
    }
    static void handle_device_new_reply(KTCommonInterface& device, int httpStatus, const QByteArray& body, bool ok)
    {
        device.handle_device_new_reply(httpStatus, body, ok);
    }
};

#endif // KTCOMMONINTERFACE_P_H
