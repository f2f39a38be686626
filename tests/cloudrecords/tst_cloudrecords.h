#ifndef TST_CLOUDRECORDS_H
#define TST_CLOUDRECORDS_H

// The cloud-record test class and its helpers, shared by tst_cloudrecords.cpp (registration)
// and workrecords.cpp (work records).

#include "ktcommoninterface.h"
#include "ktcommoninterface_p.h"
#include "ktdeviceproperty.h"
#include "localcloudservice.h"
#include "nimbracloud.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

#include <ctime>
#include <memory>

const QString Code = QStringLiteral("AB3M7Z");
const int ModelNumber = 168767; // base 36 of "3m7z"

inline KTDeviceProperty* addProperty(KTCommonInterface* device, const char* key, const QVariant& value)
{
    auto* p = new KTDeviceProperty(nullptr);
    p->init(value, QString(), QString(), 0, 0, 0, KTDeviceInterface::UnCMD, {});
    device->storeProperty(key, p);
    return p;
}

// A family-157 device with the information fields the cloud record carries.
inline KTCommonInterface* makeDevice()
{
    auto* device = new KTCommonInterface(nullptr);
    device->init157(device);
    addProperty(device, "PCB_ID", QStringLiteral("PCB-9"));
    addProperty(device, "FIRMWARE", QStringLiteral("1.2.3"));
    addProperty(device, "DEVICE_ID", QStringLiteral("DID-77"));
    return device;
}

inline QJsonObject baseRecord()
{
    return QJsonObject{{QStringLiteral("code"), Code},
                       {QStringLiteral("pcb"), QStringLiteral("PCB-9")},
                       {QStringLiteral("version"), QStringLiteral("1.2.3")},
                       {QStringLiteral("device_id"), QStringLiteral("DID-77")},
                       {QStringLiteral("online"), true}};
}

inline QJsonObject deviceCloudValue(KTCommonInterface* device)
{
    return device->property_ptr("DEVICE_CLOUD")->value().toJsonObject();
}

inline QStringList verbsAndResources(const QList<LocalCloudService::Request>& requests)
{
    QStringList out;
    for (const auto& r : requests)
        out << QString::fromLatin1(r.verb) + QLatin1Char(' ') + r.resource;
    return out;
}

// The model and device lookups go out together on separate connections, so they may
// arrive in either order, and a slow model connection may even be overtaken by what
// the device lookup's answer sends next. The lookups are put first, model then device.
inline QStringList registrationSteps(const QList<LocalCloudService::Request>& requests)
{
    QStringList steps = verbsAndResources(requests);
    QStringList lookups;
    for (const QString& first : {QStringLiteral("PATCH device_model"), QStringLiteral("GET device")}) {
        if (steps.removeOne(first))
            lookups << first;
    }
    return lookups + steps;
}

inline const LocalCloudService::Request& find(const QList<LocalCloudService::Request>& requests, const QByteArray& verb,
                                              const QString& resource)
{
    for (const auto& r : requests) {
        if (r.verb == verb && r.resource == resource)
            return r;
    }
    static const LocalCloudService::Request none;
    return none;
}

inline LocalCloudService::Fault silentOnce()
{
    LocalCloudService::Fault f;
    f.silent = true;
    f.times = 1;
    return f;
}

inline LocalCloudService::Fault delayed(int ms)
{
    LocalCloudService::Fault f;
    f.delayMs = ms;
    f.times = 1;
    return f;
}

inline LocalCloudService::Fault failing(int status)
{
    LocalCloudService::Fault f;
    f.status = status;
    return f;
}

class tst_CloudRecords : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void modelNumber_data();
    void modelNumber();

    void entryFoundUpdatesIt();
    void entryMissingCreatesIt();
    void noAnswerRetriesAfterInterval();
    void productRetryWaitsTenSeconds();
    void errorsAreIgnored_data();
    void errorsAreIgnored();
    void withoutDeviceCloudNothingIsAsked();
    void answerToEarlierRegistrationIsDropped();
    void deviceDeletedMidRequest();
    void deviceDeletedMidRetry();

    void modelReply_data();
    void modelReply();
    void creationReply_data();
    void creationReply();

    void workRecordFields();
    void workRecordConditions_data();
    void workRecordConditions();
    void workRecordPageArea_data();
    void workRecordPageArea();
    void infoToCloudSendsNothing();

private:
    void waitForRequests(int count);
    void registerDevice();
    void prepareFinishedTask();

    std::unique_ptr<LocalCloudService> service;
    std::unique_ptr<NimbraCloud> cloud;
    QPointer<KTCommonInterface> device;
    int deviceId = 0;
};

#endif // TST_CLOUDRECORDS_H
