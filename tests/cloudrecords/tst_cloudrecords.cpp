#include "tst_cloudrecords.h"

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
    QCOMPARE(find(r, "PUT", "device").json(), expected);
    QCOMPARE(KTCommonInterfacePrivate::cloudRecord(*device), expected);
    QCOMPARE(deviceCloudValue(device), expected);
    QVERIFY(!QTest::qWaitFor([this] { return service->requests().size() > 3; }, 100));
    QCOMPARE(service->requests().size(), 3);
}

void tst_CloudRecords::entryMissingCreatesIt()
{
    device->setNimbraCloud(cloud.get(), Code); // model unknown: PATCH answers 404
    QTRY_COMPARE_WITH_TIMEOUT(service->deviceCount(), 1, 5000);
    // The store may count the device before the request log has the POST.
    QTRY_COMPARE_WITH_TIMEOUT(registrationSteps(service->requests()),
                              (QStringList{"PATCH device_model", "GET device", "POST device_model"}), 5000);
    const QList<LocalCloudService::Request> r = service->requests();
    QCOMPARE(find(r, "POST", "device_model").json(), baseRecord());
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

QTEST_GUILESS_MAIN(tst_CloudRecords)
