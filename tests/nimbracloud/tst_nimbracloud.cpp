#include "localcloudservice.h"
#include "nimbracloud.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QtTest>

#include <memory>

// What one callback saw.
struct Outcome
{
    int calls = 0;
    int status = -1;
    bool ok = false;
    QByteArray body;
    QPointer<QNetworkReply> reply;
};

class tst_NimbraCloud : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void getCarriesDataAsQuery_data();
    void getCarriesDataAsQuery();
    void otherVerbsCarryJsonBody_data();
    void otherVerbsCarryJsonBody();
    void resourceIsRelativeToBasePath();
    void bearerTokenIsSent();
    void callbackSeesStatusAndSuccess_data();
    void callbackSeesStatusAndSuccess();
    void replyIsFreedAfterCallback();
    void unansweredRequestTimesOut();
    void slowAnswerWithinTimeoutSucceeds();
    void requestWithoutCallbackIsSent();
    void clientDestroyedInFlightCallsNothing();
    void wsReturnsBase();

private:
    std::function<void(QNetworkReply*, bool)> recorder(std::shared_ptr<Outcome> out)
    {
        return [out](QNetworkReply* reply, bool ok) {
            ++out->calls;
            out->status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            out->ok = ok;
            out->body = reply->isOpen() ? reply->readAll() : QByteArray();
            out->reply = reply;
        };
    }

    std::unique_ptr<LocalCloudService> service;
    std::unique_ptr<NimbraCloud> cloud;
};

void tst_NimbraCloud::init()
{
    service = std::make_unique<LocalCloudService>();
    QVERIFY(service->listen(0));
    cloud = std::make_unique<NimbraCloud>(service->httpBase(), service->wsBase());
}

void tst_NimbraCloud::cleanup()
{
    cloud.reset();
    service.reset();
}

void tst_NimbraCloud::getCarriesDataAsQuery_data()
{
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("text") << QJsonValue(QStringLiteral("AB3M7Z")) << "AB3M7Z";
    QTest::newRow("reserved characters") << QJsonValue(QStringLiteral("a+b&c=d e/?#")) << "a+b&c=d e/?#";
    QTest::newRow("non-ASCII") << QJsonValue(QStringLiteral("刻字机")) << QStringLiteral("刻字机");
    QTest::newRow("whole number") << QJsonValue(168767) << "168767";
    QTest::newRow("negative") << QJsonValue(-3) << "-3";
    QTest::newRow("fraction") << QJsonValue(2.5) << "2.5";
    QTest::newRow("boolean") << QJsonValue(true) << "true";
}

void tst_NimbraCloud::getCarriesDataAsQuery()
{
    QFETCH(QJsonValue, value);
    QFETCH(QString, expected);
    auto out = std::make_shared<Outcome>();
    cloud->customRequest(QStringLiteral("device"), "GET", QJsonObject{{QStringLiteral("code"), value}}, recorder(out));
    QTRY_COMPARE_WITH_TIMEOUT(out->calls, 1, 5000);
    const QList<LocalCloudService::Request> seen = service->requests();
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].verb, QByteArray("GET"));
    QCOMPARE(seen[0].path, QStringLiteral("/device"));
    QCOMPARE(seen[0].query.queryItems(QUrl::FullyDecoded).size(), 1);
    QCOMPARE(seen[0].query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded), expected);
    QVERIFY(seen[0].body.isEmpty());
    QVERIFY(!seen[0].headers.contains("content-type"));
}

void tst_NimbraCloud::otherVerbsCarryJsonBody_data()
{
    QTest::addColumn<QByteArray>("verb");
    QTest::addColumn<QString>("resource");
    QTest::newRow("PATCH") << QByteArray("PATCH") << "device_model";
    QTest::newRow("POST") << QByteArray("POST") << "device_work_records";
    QTest::newRow("PUT") << QByteArray("PUT") << "device";
}

void tst_NimbraCloud::otherVerbsCarryJsonBody()
{
    QFETCH(QByteArray, verb);
    QFETCH(QString, resource);
    const QJsonObject data{
        {QStringLiteral("code"), QStringLiteral("x&y")}, {QStringLiteral("n"), 7}, {QStringLiteral("online"), true}};
    auto out = std::make_shared<Outcome>();
    cloud->customRequest(resource, verb, data, recorder(out));
    QTRY_COMPARE_WITH_TIMEOUT(out->calls, 1, 5000);
    const QList<LocalCloudService::Request> seen = service->requests();
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].verb, verb);
    QCOMPARE(seen[0].resource, resource);
    QVERIFY(seen[0].query.isEmpty());
    QCOMPARE(seen[0].headers.value("content-type"), QByteArray("application/json"));
    QCOMPARE(QJsonDocument::fromJson(seen[0].body).object(), data);
}

void tst_NimbraCloud::resourceIsRelativeToBasePath()
{
    QUrl base = service->httpBase();
    base.setPath(QStringLiteral("/api/v1")); // no final "/": the last segment must stay
    NimbraCloud prefixed(base, QString());
    auto out = std::make_shared<Outcome>();
    prefixed.customRequest(QStringLiteral("/device_model"), "PATCH", {}, recorder(out));
    QTRY_COMPARE_WITH_TIMEOUT(out->calls, 1, 5000);
    QCOMPARE(service->requests().value(0).path, QStringLiteral("/api/v1/device_model"));
    QCOMPARE(out->status, 404); // the service knows no such resource
}

void tst_NimbraCloud::bearerTokenIsSent()
{
    NimbraCloud withToken(service->httpBase(), QString(), "s3cr3t");
    auto out = std::make_shared<Outcome>();
    withToken.customRequest(QStringLiteral("device"), "GET", {{QStringLiteral("code"), QStringLiteral("A")}},
                            recorder(out));
    QTRY_COMPARE_WITH_TIMEOUT(out->calls, 1, 5000);
    QCOMPARE(service->requests().value(0).headers.value("authorization"), QByteArray("Bearer s3cr3t"));

    auto plain = std::make_shared<Outcome>();
    cloud->customRequest(QStringLiteral("device"), "GET", {{QStringLiteral("code"), QStringLiteral("A")}},
                         recorder(plain));
    QTRY_COMPARE_WITH_TIMEOUT(plain->calls, 1, 5000);
    QVERIFY(!service->requests().value(1).headers.contains("authorization"));
}

void tst_NimbraCloud::callbackSeesStatusAndSuccess_data()
{
    QTest::addColumn<int>("injected");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("ok");
    QTest::newRow("found") << 0 << 200 << true;
    QTest::newRow("not found") << 404 << 404 << false;
    QTest::newRow("server error") << 500 << 500 << false;
    QTest::newRow("bad request") << 400 << 400 << false;
}

void tst_NimbraCloud::callbackSeesStatusAndSuccess()
{
    QFETCH(int, injected);
    QFETCH(int, status);
    QFETCH(bool, ok);
    const int model = service->addDeviceModel(1234);
    if (injected) {
        LocalCloudService::Fault fault;
        fault.status = injected;
        service->setFault(QStringLiteral("device_model"), fault);
    }
    auto out = std::make_shared<Outcome>();
    cloud->customRequest(QStringLiteral("device_model"), "PATCH", {{QStringLiteral("code"), 1234}}, recorder(out));
    QTRY_COMPARE_WITH_TIMEOUT(out->calls, 1, 5000);
    QCOMPARE(out->status, status);
    QCOMPARE(out->ok, ok);
    const QJsonObject body = QJsonDocument::fromJson(out->body).object();
    if (ok)
        QCOMPARE(body.value(QStringLiteral("id")).toInt(), model);
    else
        QVERIFY(body.contains(QStringLiteral("detail")));
    // A second call would follow at once.
    QVERIFY(!QTest::qWaitFor([&out] { return out->calls > 1; }, 50));
    QCOMPARE(out->calls, 1);
}

void tst_NimbraCloud::replyIsFreedAfterCallback()
{
    auto out = std::make_shared<Outcome>();
    cloud->customRequest(QStringLiteral("device"), "GET", {{QStringLiteral("code"), QStringLiteral("A")}},
                         recorder(out));
    QTRY_COMPARE_WITH_TIMEOUT(out->calls, 1, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(out->reply.isNull(), 2000);
}

void tst_NimbraCloud::unansweredRequestTimesOut()
{
    LocalCloudService::Fault silent;
    silent.silent = true;
    service->setFault(QStringLiteral("device"), silent);
    cloud->setTimeout(250);
    QCOMPARE(cloud->timeout(), 250);
    auto out = std::make_shared<Outcome>();
    QElapsedTimer clock;
    clock.start();
    cloud->customRequest(QStringLiteral("device"), "GET", {{QStringLiteral("code"), QStringLiteral("A")}},
                         recorder(out));
    QTRY_COMPARE_WITH_TIMEOUT(out->calls, 1, 5000);
    QVERIFY2(clock.elapsed() >= 200, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(out->status, 0);
    QVERIFY(!out->ok);
    QCOMPARE(service->requests().size(), 1); // it did reach the service
    // Once the reply is freed nothing is left to call back.
    QTRY_VERIFY_WITH_TIMEOUT(out->reply.isNull(), 2000);
    QCOMPARE(out->calls, 1);
}

void tst_NimbraCloud::slowAnswerWithinTimeoutSucceeds()
{
    LocalCloudService::Fault slow;
    slow.delayMs = 150;
    service->setFault(QStringLiteral("device_model"), slow);
    service->addDeviceModel(5);
    cloud->setTimeout(3000);
    auto out = std::make_shared<Outcome>();
    cloud->customRequest(QStringLiteral("device_model"), "PATCH", {{QStringLiteral("code"), 5}}, recorder(out));
    QTRY_COMPARE_WITH_TIMEOUT(out->calls, 1, 5000);
    QCOMPARE(out->status, 200);
    QVERIFY(out->ok);
}

void tst_NimbraCloud::requestWithoutCallbackIsSent()
{
    cloud->customRequest(QStringLiteral("device"), "PUT", {{QStringLiteral("id"), 1}}, {});
    QTRY_COMPARE_WITH_TIMEOUT(service->requests().size(), 1, 5000);
    QCOMPARE(service->requests().value(0).verb, QByteArray("PUT"));
}

void tst_NimbraCloud::clientDestroyedInFlightCallsNothing()
{
    LocalCloudService::Fault slow;
    slow.delayMs = 200;
    service->setFault(QStringLiteral("device"), slow);
    auto out = std::make_shared<Outcome>();
    cloud->customRequest(QStringLiteral("device"), "GET", {{QStringLiteral("code"), QStringLiteral("A")}},
                         recorder(out));
    QTRY_COMPARE_WITH_TIMEOUT(service->requests().size(), 1, 5000);
    cloud.reset();
    // The answer leaves 200 ms after the request came in: wait past that.
    QVERIFY(!QTest::qWaitFor([&out] { return out->calls > 0; }, 300));
    QCOMPARE(out->calls, 0);
}

void tst_NimbraCloud::wsReturnsBase()
{
    QCOMPARE(cloud->ws(), service->wsBase());
    QVERIFY(cloud->ws().startsWith(QStringLiteral("ws://127.0.0.1:")));
}

QTEST_GUILESS_MAIN(tst_NimbraCloud)
#include "tst_nimbracloud.moc"
