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

namespace {

const QString Code = QStringLiteral("AB3M7Z");
const int ModelNumber = 168767; // base 36 of "3m7z"

KTDeviceProperty* addProperty(KTCommonInterface* device, const char* key, const QVariant& value)
{
    auto* p = new KTDeviceProperty(nullptr);
    p->init(value, QString(), QString(), 0, 0, 0, KTDeviceInterface::UnCMD, {});
    device->storeProperty(key, p);
    return p;
}

// A family-157 device with the information fields the cloud record carries.
KTCommonInterface* makeDevice()
{
    auto* device = new KTCommonInterface(nullptr);
    device->init157(device);
    addProperty(device, "PCB_ID", QStringLiteral("PCB-9"));
    addProperty(device, "FIRMWARE", QStringLiteral("1.2.3"));
    addProperty(device, "DEVICE_ID", QStringLiteral("DID-77"));
    return device;
}

QJsonObject baseRecord()
{
    return QJsonObject{{QStringLiteral("code"), Code},
                       {QStringLiteral("pcb"), QStringLiteral("PCB-9")},
                       {QStringLiteral("version"), QStringLiteral("1.2.3")},
                       {QStringLiteral("device_id"), QStringLiteral("DID-77")},
                       {QStringLiteral("online"), true}};
}

QJsonObject deviceCloudValue(KTCommonInterface* device)
{
    return device->property_ptr("DEVICE_CLOUD")->value().toJsonObject();
}

QStringList verbsAndResources(const QList<LocalCloudService::Request>& requests)
{
    QStringList out;
    for (const auto& r : requests)
        out << QString::fromLatin1(r.verb) + QLatin1Char(' ') + r.resource;
    return out;
}

// The model and device lookups go out together on separate connections, so they may
// arrive in either order; what follows them depends on their answers.
QStringList registrationSteps(QList<LocalCloudService::Request> requests)
{
    if (requests.size() >= 2 && requests[0].verb == "GET")
        requests.swapItemsAt(0, 1);
    return verbsAndResources(requests);
}

const LocalCloudService::Request& find(const QList<LocalCloudService::Request>& requests, const QByteArray& verb,
                                       const QString& resource)
{
    for (const auto& r : requests) {
        if (r.verb == verb && r.resource == resource)
            return r;
    }
    static const LocalCloudService::Request none;
    return none;
}

LocalCloudService::Fault silentOnce()
{
    LocalCloudService::Fault f;
    f.silent = true;
    f.times = 1;
    return f;
}

LocalCloudService::Fault delayed(int ms)
{
    LocalCloudService::Fault f;
    f.delayMs = ms;
    f.times = 1;
    return f;
}

LocalCloudService::Fault failing(int status)
{
    LocalCloudService::Fault f;
    f.status = status;
    return f;
}

} // namespace

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

// Local time away from UTC, so a time stamp taken in the wrong zone shows.
void tst_CloudRecords::initTestCase()
{
    qputenv("TZ", "CST-8");
    tzset();
    QVERIFY(QDateTime::currentDateTime().offsetFromUtc() == 8 * 3600);
}

void tst_CloudRecords::init()
{
    service = std::make_unique<LocalCloudService>();
    QVERIFY(service->listen(0));
    cloud = std::make_unique<NimbraCloud>(service->httpBase(), service->wsBase());
    cloud->setTimeout(300);
    device = makeDevice();
    KTCommonInterfacePrivate::setCloudRetryInterval(*device, 50);
}

void tst_CloudRecords::cleanup()
{
    delete device.data();
    cloud.reset();
    service.reset();
}

void tst_CloudRecords::waitForRequests(int count)
{
    QTRY_VERIFY_WITH_TIMEOUT(service->requests().size() >= count, 5000);
}

void tst_CloudRecords::modelNumber_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("number");
    QTest::newRow("digits and letters") << "AB3M7Z" << 168767;
    QTest::newRow("lower case alike") << "ab3m7z" << 168767;
    QTest::newRow("longer code uses four") << "AB3M7Z99" << 168767;
    QTest::newRow("two characters") << "AB" << 0;
    QTest::newRow("three characters") << "ABc" << 12;
    QTest::newRow("all zero") << "XX0000" << 0;
    QTest::newRow("largest") << "XXzzzz" << 1679615;
    QTest::newRow("punctuation not rejected") << "XX-" << -3;
}

void tst_CloudRecords::modelNumber()
{
    QFETCH(QString, code);
    QFETCH(int, number);
    QCOMPARE(KTCommonInterfacePrivate::modelNumber(code), number);
}

// The lookup is held back so the model answer lands first and the update carries it.
void tst_CloudRecords::entryFoundUpdatesIt()
{
    const int model = service->addDeviceModel(ModelNumber);
    QJsonObject existing{{QStringLiteral("code"), Code}};
    deviceId = service->addDevice(existing);
    service->setFault(QStringLiteral("device"), delayed(150));

    device->setNimbraCloud(cloud.get(), Code);
    waitForRequests(3);
    const QList<LocalCloudService::Request> r = service->requests();
    QCOMPARE(registrationSteps(r), (QStringList{"PATCH device_model", "GET device", "PUT device"}));
    QCOMPARE(find(r, "PATCH", "device_model").json(), (QJsonObject{{QStringLiteral("code"), ModelNumber}}));
    QCOMPARE(find(r, "GET", "device").query.queryItemValue(QStringLiteral("code")), Code);
    QVERIFY(find(r, "GET", "device").body.isEmpty());
    QJsonObject expected = baseRecord();
    expected.insert(QStringLiteral("device_model"), model);
    expected.insert(QStringLiteral("id"), deviceId);
    QCOMPARE(r[2].json(), expected);
    QCOMPARE(KTCommonInterfacePrivate::cloudRecord(*device), expected);
    QCOMPARE(deviceCloudValue(device), expected);
    QVERIFY(!QTest::qWaitFor([this] { return service->requests().size() > 3; }, 100));
    QCOMPARE(service->requests().size(), 3);
}

void tst_CloudRecords::entryMissingCreatesIt()
{
    device->setNimbraCloud(cloud.get(), Code); // model unknown: PATCH answers 404
    QTRY_COMPARE_WITH_TIMEOUT(service->deviceCount(), 1, 5000);
    const QList<LocalCloudService::Request> r = service->requests();
    QCOMPARE(registrationSteps(r), (QStringList{"PATCH device_model", "GET device", "POST device_model"}));
    QCOMPARE(r[2].json(), baseRecord());
    const int created = service->deviceByCode(Code).value(QStringLiteral("id")).toInt();
    QTRY_COMPARE_WITH_TIMEOUT(KTCommonInterfacePrivate::cloudRecord(*device).value(QStringLiteral("id")).toInt(),
                              created, 5000);
    QCOMPARE(deviceCloudValue(device).value(QStringLiteral("id")).toInt(), created);
    QVERIFY(!KTCommonInterfacePrivate::cloudRecord(*device).contains(QStringLiteral("device_model")));
}

void tst_CloudRecords::noAnswerRetriesAfterInterval()
{
    deviceId = service->addDevice(QJsonObject{{QStringLiteral("code"), Code}});
    service->setFault(QStringLiteral("device"), silentOnce());
    QElapsedTimer clock;
    clock.start();
    device->setNimbraCloud(cloud.get(), Code);
    QTRY_COMPARE_WITH_TIMEOUT(service->requests(QStringLiteral("device")).size(), 3, 5000);
    // The first lookup timed out (300 ms), then the retry (50 ms later) found the entry.
    QVERIFY(clock.elapsed() >= 300);
    const QList<LocalCloudService::Request> lookups = service->requests(QStringLiteral("device"));
    QCOMPARE(lookups[0].verb, QByteArray("GET"));
    QCOMPARE(lookups[1].verb, QByteArray("GET"));
    QCOMPARE(lookups[1].query.queryItemValue(QStringLiteral("code")), Code);
    QCOMPARE(lookups[2].verb, QByteArray("PUT"));
    QTRY_COMPARE_WITH_TIMEOUT(KTCommonInterfacePrivate::cloudRecord(*device).value(QStringLiteral("id")).toInt(),
                              deviceId, 5000);
}

void tst_CloudRecords::productRetryWaitsTenSeconds()
{
    KTCommonInterface fresh;
    fresh.init157(&fresh);
    service->setFault(QStringLiteral("device"), silentOnce());
    fresh.setNimbraCloud(cloud.get(), Code);
    QTimer* retry = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((retry = fresh.findChild<QTimer*>()) && retry->isActive(), 5000);
    QCOMPARE(retry->interval(), 10000);
    QVERIFY(retry->isSingleShot());
}

void tst_CloudRecords::errorsAreIgnored_data()
{
    QTest::addColumn<QString>("resource");
    QTest::addColumn<int>("status");
    QTest::newRow("lookup 500") << "device" << 500;
    QTest::newRow("lookup 403") << "device" << 403;
    QTest::newRow("lookup 201") << "device" << 201;
    QTest::newRow("model 500") << "device_model" << 500;
}

void tst_CloudRecords::errorsAreIgnored()
{
    QFETCH(QString, resource);
    QFETCH(int, status);
    service->addDeviceModel(ModelNumber);
    service->setFault(resource, failing(status));
    device->setNimbraCloud(cloud.get(), Code);
    waitForRequests(2);
    // A retry would come after 50 ms, a follow-up or a record at once.
    if (resource == QLatin1String("device")) {
        QVERIFY(!QTest::qWaitFor([this] { return service->requests().size() > 2; }, 150));
        QCOMPARE(registrationSteps(service->requests()), (QStringList{"PATCH device_model", "GET device"}));
        QTRY_VERIFY_WITH_TIMEOUT(
            KTCommonInterfacePrivate::cloudRecord(*device).contains(QStringLiteral("device_model")), 5000);
        QVERIFY(!KTCommonInterfacePrivate::cloudRecord(*device).contains(QStringLiteral("id")));
    } else {
        // Model lookup fails; the device lookup answers 404 and creation fails too.
        QVERIFY(!QTest::qWaitFor(
            [this] { return KTCommonInterfacePrivate::cloudRecord(*device).contains(QStringLiteral("id")); }, 150));
        QVERIFY(!KTCommonInterfacePrivate::cloudRecord(*device).contains(QStringLiteral("device_model")));
        QVERIFY(!KTCommonInterfacePrivate::cloudRecord(*device).contains(QStringLiteral("id")));
    }
}

void tst_CloudRecords::withoutDeviceCloudNothingIsAsked()
{
    KTCommonInterface bare;
    addProperty(&bare, "PCB_ID", QStringLiteral("P"));
    bare.setNimbraCloud(cloud.get(), Code);
    QCOMPARE(KTCommonInterfacePrivate::cloudRecord(bare).value(QStringLiteral("code")).toString(), Code);
    QCOMPARE(KTCommonInterfacePrivate::cloudRecord(bare).value(QStringLiteral("pcb")).toString(), QStringLiteral("P"));
    QCOMPARE(KTCommonInterfacePrivate::cloudRecord(bare).value(QStringLiteral("version")).toString(), QString());
    QCOMPARE(KTCommonInterfacePrivate::cloudRecord(bare).value(QStringLiteral("online")).toBool(), true);
    // A probe sent afterwards by the same client arrives alone.
    cloud->customRequest(QStringLiteral("probe"), "GET", {}, {});
    waitForRequests(1);
    QVERIFY(!QTest::qWaitFor([this] { return service->requests().size() > 1; }, 100));
    QCOMPARE(verbsAndResources(service->requests()), QStringList{"GET probe"});
}

// The first registration's lookup would find "AAAA11"; by then the device registers "BBBB22".
void tst_CloudRecords::answerToEarlierRegistrationIsDropped()
{
    const int other = service->addDevice(QJsonObject{{QStringLiteral("code"), QStringLiteral("AAAA11")}});
    service->setFault(QStringLiteral("device"), delayed(200));
    device->setNimbraCloud(cloud.get(), QStringLiteral("AAAA11"));
    waitForRequests(2);
    QElapsedTimer sinceLookup;
    sinceLookup.start();
    device->setNimbraCloud(cloud.get(), QStringLiteral("BBBB22"));
    QTRY_COMPARE_WITH_TIMEOUT(service->deviceCount(), 2, 5000);
    const int created = service->deviceByCode(QStringLiteral("BBBB22")).value(QStringLiteral("id")).toInt();
    QTRY_COMPARE_WITH_TIMEOUT(KTCommonInterfacePrivate::cloudRecord(*device).value(QStringLiteral("id")).toInt(),
                              created, 5000);
    // The answer about "AAAA11" leaves 200 ms after its lookup came in: wait past that.
    QVERIFY(!QTest::qWaitFor(
        [&] { return KTCommonInterfacePrivate::cloudRecord(*device).value(QStringLiteral("id")).toInt() != created; },
        int(qMax<qint64>(0, 250 - sinceLookup.elapsed()))));
    QCOMPARE(KTCommonInterfacePrivate::cloudRecord(*device).value(QStringLiteral("id")).toInt(), created);
    QVERIFY(created != other);
    QVERIFY(service->requests(QStringLiteral("device")).size() == 2); // no PUT for the old entry
}

void tst_CloudRecords::deviceDeletedMidRequest()
{
    service->addDeviceModel(ModelNumber);
    service->addDevice(QJsonObject{{QStringLiteral("code"), Code}});
    LocalCloudService::Fault slow;
    slow.delayMs = 200;
    service->setFault(QStringLiteral("device"), slow);
    service->setFault(QStringLiteral("device_model"), slow);
    device->setNimbraCloud(cloud.get(), Code);
    waitForRequests(2);
    QElapsedTimer sinceRequests;
    sinceRequests.start();
    delete device.data();
    // Both answers arrive 200 ms after their requests, for a device that is gone; a live one
    // would follow them up at once.
    QVERIFY(!QTest::qWaitFor([this] { return service->requests().size() > 2; },
                             int(qMax<qint64>(0, 300 - sinceRequests.elapsed()))));
    QCOMPARE(service->requests().size(), 2);
}

void tst_CloudRecords::deviceDeletedMidRetry()
{
    service->addDevice(QJsonObject{{QStringLiteral("code"), Code}});
    service->setFault(QStringLiteral("device"), silentOnce());
    KTCommonInterfacePrivate::setCloudRetryInterval(*device, 300);
    device->setNimbraCloud(cloud.get(), Code);
    QTimer* retry = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((retry = device->findChild<QTimer*>()) && retry->isActive(), 5000);
    delete device.data();
    // The retry was due 300 ms after its timer started.
    QVERIFY(!QTest::qWaitFor([this] { return service->requests(QStringLiteral("device")).size() > 1; }, 400));
    QCOMPARE(service->requests(QStringLiteral("device")).size(), 1);
}

void tst_CloudRecords::modelReply_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QJsonValue>("model"); // undefined: the field stays absent
    QTest::newRow("found") << 200 << QByteArray(R"({"id":42,"code":1})") << QJsonValue(42);
    QTest::newRow("found without id") << 200 << QByteArray("{}") << QJsonValue(0);
    QTest::newRow("unreadable body") << 200 << QByteArray("<html>") << QJsonValue(0);
    QTest::newRow("body not an object") << 200 << QByteArray("[1,2]") << QJsonValue(0);
    QTest::newRow("id as text") << 200 << QByteArray(R"({"id":"42"})") << QJsonValue(0);
    QTest::newRow("not found") << 404 << QByteArray(R"({"id":42})") << QJsonValue(QJsonValue::Undefined);
    QTest::newRow("no answer") << 0 << QByteArray() << QJsonValue(QJsonValue::Undefined);
}

void tst_CloudRecords::modelReply()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QJsonValue, model);
    device->setNimbraCloud(nullptr, Code); // record only, no client
    KTCommonInterfacePrivate::handle_device_model_reply(*device, status, body);
    QCOMPARE(KTCommonInterfacePrivate::cloudRecord(*device).value(QStringLiteral("device_model")), model);
    QCOMPARE(deviceCloudValue(device), KTCommonInterfacePrivate::cloudRecord(*device));
    QCOMPARE(KTCommonInterfacePrivate::cloudRecord(*device).value(QStringLiteral("code")).toString(), Code);
}

void tst_CloudRecords::creationReply_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QJsonValue>("id");
    QTest::newRow("created") << 200 << true << QByteArray(R"({"id":9})") << QJsonValue(9);
    QTest::newRow("created, unreadable") << 200 << true << QByteArray("garbage") << QJsonValue(0);
    QTest::newRow("200 but failed") << 200 << false << QByteArray(R"({"id":9})") << QJsonValue(QJsonValue::Undefined);
    QTest::newRow("201") << 201 << true << QByteArray(R"({"id":9})") << QJsonValue(QJsonValue::Undefined);
    QTest::newRow("400") << 400 << false << QByteArray(R"({"id":9})") << QJsonValue(QJsonValue::Undefined);
    QTest::newRow("no answer") << 0 << false << QByteArray() << QJsonValue(QJsonValue::Undefined);
}

void tst_CloudRecords::creationReply()
{
    QFETCH(int, status);
    QFETCH(bool, ok);
    QFETCH(QByteArray, body);
    QFETCH(QJsonValue, id);
    device->setNimbraCloud(nullptr, Code);
    KTCommonInterfacePrivate::handle_device_new_reply(*device, status, body, ok);
    QCOMPARE(KTCommonInterfacePrivate::cloudRecord(*device).value(QStringLiteral("id")), id);
    QCOMPARE(deviceCloudValue(device), KTCommonInterfacePrivate::cloudRecord(*device));
}

void tst_CloudRecords::registerDevice()
{
    deviceId = service->addDevice(QJsonObject{{QStringLiteral("code"), Code}});
    device->setNimbraCloud(cloud.get(), Code);
    QTRY_COMPARE_WITH_TIMEOUT(KTCommonInterfacePrivate::cloudRecord(*device).value(QStringLiteral("id")).toInt(),
                              deviceId, 5000);
    waitForRequests(3);
    service->clearRequests();
}

void tst_CloudRecords::prepareFinishedTask()
{
    addProperty(device, "TASK",
                QJsonObject{{QStringLiteral("Status"), 2},
                            {QStringLiteral("FileName"), QStringLiteral("job.plt")},
                            {QStringLiteral("TaskCopies"), 3},
                            {QStringLiteral("Finished"), 2},
                            {QStringLiteral("Percent"), 66}});
    device->property_ptr("TASK_FILE_INFO")
        ->setValue(QJsonObject{
            {QStringLiteral("heigth"), 120}, {QStringLiteral("width"), 300}, {QStringLiteral("path_length"), 4567}});
    addProperty(device, "TASK_START_TIME", QDateTime::currentDateTime().addSecs(-42));
    device->property_ptr("TASK_MODE")->setValue(1);
    device->property_ptr("WORK_MODE")->setValue(2u);
}

void tst_CloudRecords::workRecordFields()
{
    registerDevice();
    prepareFinishedTask();
    const QDateTime before = QDateTime::currentDateTimeUtc();
    device->device_task_record_to_cloud();
    QTRY_COMPARE_WITH_TIMEOUT(service->workRecords().size(), 1, 5000);
    const QDateTime after = QDateTime::currentDateTimeUtc();

    const QList<LocalCloudService::Request> posted = service->requests(QStringLiteral("device_work_records"));
    QCOMPARE(posted.size(), 1);
    QCOMPARE(posted[0].verb, QByteArray("POST"));
    const QJsonObject body = posted[0].json();
    QCOMPARE(body.size(), 11);
    QVERIFY(body.value(QStringLiteral("task_time")).isDouble());
    const int taskTime = body.value(QStringLiteral("task_time")).toInt();
    QVERIFY2(taskTime >= 42 && taskTime <= 44, qPrintable(QString::number(taskTime)));
    QCOMPARE(body.value(QStringLiteral("softwareType")), QJsonValue(3));
    QCOMPARE(body.value(QStringLiteral("task_copies")), QJsonValue(3));
    QCOMPARE(body.value(QStringLiteral("finish_copies")), QJsonValue(2));
    QCOMPARE(body.value(QStringLiteral("device")), QJsonValue(deviceId));
    QCOMPARE(body.value(QStringLiteral("page_area")), QJsonValue(36000));
    QCOMPARE(body.value(QStringLiteral("page_size")), QJsonValue(QStringLiteral("120x300")));
    QCOMPARE(body.value(QStringLiteral("path_length")), QJsonValue(4567));
    QCOMPARE(body.value(QStringLiteral("task_model")), QJsonValue(1));
    QCOMPARE(body.value(QStringLiteral("work_model")), QJsonValue(2));

    // "zzzz" is "zzz" then "z": the three-digit milliseconds, then the same without trailing zeros.
    const QString endTime = body.value(QStringLiteral("end_time")).toString();
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d)\\.(\\d{3})(\\d{1,3})$"))
            .match(endTime);
    QVERIFY2(m.hasMatch(), qPrintable(endTime));
    QString fraction = m.captured(2);
    while (fraction.size() > 1 && fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    QCOMPARE(m.captured(3), fraction);
    QDateTime stamp = QDateTime::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    stamp.setTimeSpec(Qt::UTC);
    stamp = stamp.addMSecs(m.captured(2).toInt());
    QVERIFY2(stamp >= before.addMSecs(-before.time().msec()) && stamp <= after,
             qPrintable(endTime + QLatin1String(" not in UTC now")));
}

void tst_CloudRecords::workRecordConditions_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("not registered") << "unregistered";
    QTest::newRow("no DEVICE_CLOUD") << "no DEVICE_CLOUD";
    QTest::newRow("no TASK") << "no TASK";
    QTest::newRow("TaskCopies 0") << "TaskCopies 0";
    QTest::newRow("Finished 0") << "Finished 0";
    QTest::newRow("Finished missing") << "Finished missing";
    QTest::newRow("no TASK_FILE_INFO") << "no TASK_FILE_INFO";
    QTest::newRow("path_length missing") << "path_length missing";
    QTest::newRow("path_length 0") << "path_length 0";
    QTest::newRow("no TASK_START_TIME") << "no TASK_START_TIME";
}

// Each broken condition blocks the record; mending it again lets exactly one through.
void tst_CloudRecords::workRecordConditions()
{
    QFETCH(QString, change);
    registerDevice();
    prepareFinishedTask();
    const QVariant task = device->property_ptr("TASK")->value();
    const QVariant file = device->property_ptr("TASK_FILE_INFO")->value();
    QJsonObject t = task.toJsonObject();
    QJsonObject f = file.toJsonObject();
    KTDeviceProperty* removed = nullptr;
    auto take = [&](const char* key) {
        removed = device->property_ptr(key);
        device->setProperty(key, QVariant());
        QVERIFY(!device->property_ptr(key));
    };
    if (change == QLatin1String("unregistered"))
        device->setNimbraCloud(nullptr, Code);
    else if (change == QLatin1String("no DEVICE_CLOUD"))
        take("DEVICE_CLOUD");
    else if (change == QLatin1String("no TASK"))
        take("TASK");
    else if (change == QLatin1String("no TASK_FILE_INFO"))
        take("TASK_FILE_INFO");
    else if (change == QLatin1String("no TASK_START_TIME"))
        take("TASK_START_TIME");
    else if (change == QLatin1String("TaskCopies 0"))
        t.insert(QStringLiteral("TaskCopies"), 0);
    else if (change == QLatin1String("Finished 0"))
        t.insert(QStringLiteral("Finished"), 0);
    else if (change == QLatin1String("Finished missing"))
        t.remove(QStringLiteral("Finished"));
    else if (change == QLatin1String("path_length missing"))
        f.remove(QStringLiteral("path_length"));
    else if (change == QLatin1String("path_length 0"))
        f.insert(QStringLiteral("path_length"), 0);
    device->property_ptr("TASK") ? device->property_ptr("TASK")->setValue(t) : void();
    device->property_ptr("TASK_FILE_INFO") ? device->property_ptr("TASK_FILE_INFO")->setValue(f) : void();

    device->device_task_record_to_cloud();

    // Mend and send a second record, marked by its copy count; only it may arrive.
    if (change == QLatin1String("unregistered")) {
        device->setNimbraCloud(cloud.get(), Code);
        QTRY_COMPARE_WITH_TIMEOUT(KTCommonInterfacePrivate::cloudRecord(*device).value(QStringLiteral("id")).toInt(),
                                  deviceId, 5000);
    }
    if (removed)
        device->storeProperty(QByteArray(change.mid(3).toLatin1()).constData(), removed);
    QJsonObject marked = task.toJsonObject();
    marked.insert(QStringLiteral("TaskCopies"), 99);
    device->property_ptr("TASK")->setValue(marked);
    device->property_ptr("TASK_FILE_INFO")->setValue(file);
    device->device_task_record_to_cloud();
    QTRY_COMPARE_WITH_TIMEOUT(service->workRecords().size(), 1, 5000);
    QVERIFY(
        !QTest::qWaitFor([this] { return service->requests(QStringLiteral("device_work_records")).size() > 1; }, 50));
    QCOMPARE(service->requests(QStringLiteral("device_work_records")).size(), 1);
    QCOMPARE(service->workRecords()[0].value(QStringLiteral("task_copies")).toInt(), 99);
}

// The page area of an absurd size (a product beyond 64 bits) counts as 0 instead of overflowing.
void tst_CloudRecords::workRecordPageArea_data()
{
    QTest::addColumn<double>("height");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("area");
    QTest::newRow("ordinary") << 120.0 << 300.0 << 36000.0;
    QTest::newRow("negative side") << -120.0 << 300.0 << -36000.0;
    QTest::newRow("largest product that fits") << 3037000499.0 << 3037000499.0 << 9223372030926249001.0;
    QTest::newRow("product beyond 64 bits") << 4e9 << 4e9 << 0.0;
    QTest::newRow("negative product beyond 64 bits") << -4e9 << 4e9 << 0.0;
    QTest::newRow("largest sides read") << 9e15 << 9e15 << 0.0;
}

void tst_CloudRecords::workRecordPageArea()
{
    QFETCH(double, height);
    QFETCH(double, width);
    QFETCH(double, area);
    registerDevice();
    prepareFinishedTask();
    device->property_ptr("TASK_FILE_INFO")
        ->setValue(QJsonObject{
            {QStringLiteral("heigth"), height}, {QStringLiteral("width"), width}, {QStringLiteral("path_length"), 1}});
    device->device_task_record_to_cloud();
    QTRY_COMPARE_WITH_TIMEOUT(service->workRecords().size(), 1, 5000);
    QCOMPARE(service->workRecords()[0].value(QStringLiteral("page_area")).toDouble(), area);
}

void tst_CloudRecords::infoToCloudSendsNothing()
{
    registerDevice();
    const QJsonObject before = KTCommonInterfacePrivate::cloudRecord(*device);
    device->device_info_to_cloud();
    cloud->customRequest(QStringLiteral("probe"), "GET", {}, {});
    waitForRequests(1);
    QVERIFY(!QTest::qWaitFor([this] { return service->requests().size() > 1; }, 50));
    QCOMPARE(verbsAndResources(service->requests()), QStringList{"GET probe"});
    QCOMPARE(KTCommonInterfacePrivate::cloudRecord(*device), before);
}

QTEST_GUILESS_MAIN(tst_CloudRecords)
#include "tst_cloudrecords.moc"
