// The cloud answers badly or closes its channel.
#include "faultmatrix.h"
#include "faultpeers.h"
#include "ktcommoninterface_p.h"
#include "localcloudservice.h"
#include "nimbracloud.h"

#include <QNetworkAccessManager>

// The cloud answers registration badly. Nothing is reported, nothing is corrupted; a lookup
// without any HTTP answer is retried; a later registration with a working cloud succeeds.
void tst_FaultMatrix::cloudAnswersBadly_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("id");       // "id" in the record afterwards, -1: none
    QTest::addColumn<bool>("retried"); // the lookup is asked again
    QTest::newRow("500") << int(HttpPeer::Answer) << 500 << QByteArray("{\"detail\":\"boom\"}") << -1 << false;
    QTest::newRow("garbage JSON") << int(HttpPeer::Answer) << 200 << QByteArray("{\"id\": 4,,]\xff") << 0 << false;
    QTest::newRow("JSON array") << int(HttpPeer::Answer) << 200 << QByteArray("[1,2]") << 0 << false;
    QTest::newRow("empty body") << int(HttpPeer::Answer) << 200 << QByteArray() << 0 << false;
    QTest::newRow("id of the wrong type") << int(HttpPeer::Answer) << 200 << QByteArray("{\"id\":\"7\"}") << 0 << false;
    QTest::newRow("never answers") << int(HttpPeer::Silent) << 0 << QByteArray() << -1 << true;
    QTest::newRow("closes the connection") << int(HttpPeer::Close) << 0 << QByteArray() << -1 << true;
}

void tst_FaultMatrix::cloudAnswersBadly()
{
    QFETCH(int, mode);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(int, id);
    QFETCH(bool, retried);
    Rig rig;
    HttpPeer peer;
    peer.mode = HttpPeer::Mode(mode);
    peer.status = status;
    peer.body = body;
    NimbraCloud badCloud(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(peer.port())),
                         QStringLiteral("ws://127.0.0.1:%1/").arg(peer.port()));
    badCloud.setTimeout(300);
    const int retryMs = 50;
    KTCommonInterfacePrivate::setCloudRetryInterval(*rig.device, retryMs);
    QSignalSpy answered(badCloud.findChild<QNetworkAccessManager*>(), &QNetworkAccessManager::finished);
    rig.device->setNimbraCloud(&badCloud, DeviceCode);
    // Three lookups at least: Qt's own resend accounts for one at most.
    QVERIFY(waitFor([&] { return peer.paths.count("GET /device") >= (retried ? 3 : 1); }));
    // Qt's HTTP client may send a request again once when the connection is closed on it.
    QVERIFY(waitFor([&] { return peer.paths.count("PATCH /device_model") >= 1; }));
    if (id >= 0)
        QTRY_COMPARE(KTCommonInterfacePrivate::cloudRecord(*rig.device).value("id").toInt(-1), id);
    else
        QTRY_VERIFY(!answered.isEmpty()); // the answer, or its end by timeout, must change nothing
    if (!retried)
        QCOMPARE(peer.paths.count("GET /device"), 1);
    const QJsonObject record = KTCommonInterfacePrivate::cloudRecord(*rig.device);
    QCOMPARE(record.value("code").toString(), DeviceCode);
    QCOMPARE(record.value("id").toInt(-1), id);
    QCOMPARE(rig["DEVICE_CLOUD"]->value().toJsonObject(), record);
    QVERIFY(rig.texts(K::DevStatus).isEmpty());

    LocalCloudService service;
    QVERIFY(service.listen(0));
    NimbraCloud goodCloud(service.httpBase(), service.wsBase());
    rig.device->setNimbraCloud(&goodCloud, DeviceCode);
    QTRY_VERIFY(KTCommonInterfacePrivate::cloudRecord(*rig.device).value("id").toInt() > 0);
    QCOMPARE(service.deviceCount(), 1);
    // Nothing of the bad registration reaches the good one.
    const int requests = peer.paths.size();
    // Past the bad cloud's timeout and the retry interval, or until a request comes after all.
    QVERIFY(!QTest::qWaitFor([&] { return peer.paths.size() != requests; }, badCloud.timeout() + retryMs + 50));
    QCOMPARE(KTCommonInterfacePrivate::cloudRecord(*rig.device).value("id").toInt(),
             service.deviceByCode(DeviceCode).value("id").toInt());
    QCOMPARE(peer.paths.size(), requests);
}

void tst_FaultMatrix::cloudClosesWebSocket()
{
    Rig rig;
    LocalCloudService service;
    QVERIFY(service.listen(0));
    NimbraCloud cloud(service.httpBase(), service.wsBase());
    rig.device->setNimbraCloud(&cloud, DeviceCode);
    rig.device->connect_websocket();
    QTRY_COMPARE(service.connectedDevices(), QStringList{DeviceCode});
    service.closeDevice(DeviceCode);
    QTRY_COMPARE(rig.lastStatusText(), QString("WEB SOCKET DISCONNECTED."));

    rig.device->connect_websocket();
    QTRY_COMPARE(service.connectedDevices(), QStringList{DeviceCode});
    QTRY_COMPARE(rig.lastStatusText(), QString("WEB SOCKET CONNECTED."));
    QVERIFY(service.sendToDevice(DeviceCode, QStringLiteral("state?")));
    QTRY_COMPARE(service.textsFrom(DeviceCode).size(), 1);
    QVERIFY(service.textsFrom(DeviceCode).first().contains("Runtime"));
}
