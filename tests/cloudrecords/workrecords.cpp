#include "tst_cloudrecords.h"

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
