#ifndef TST_TCPLINK_H
#define TST_TCPLINK_H

// The TCP transport test class and its helpers, shared by tst_tcplink.cpp and
// reconnection.cpp (losing and regaining the cutter).

#include "ktcommoninterface.h"
#include "ktcommoninterface_p.h"
#include "ktdeviceproperty.h"
#include "loopbackcutter.h"
#include "messagetexts.h"
#include "transportfixture.h"

#include <QDateTime>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

#if defined(Q_OS_LINUX)
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

using T = KTDeviceInterface;

// Status news in the order the host would see them, with the property changes around them.
class EventLog
{
public:
    explicit EventLog(TransportFixture& device)
    {
        for (const char* key : {"CONNECT_MODE", "STATUS"}) {
            KTDeviceProperty* p = device.property_ptr(key);
            QObject::connect(p, &KTDeviceProperty::valueChanged,
                             [this, key, p] { events << QString("%1=%2").arg(key, p->value().toString()); });
        }
        QObject::connect(&device, &T::message, [this](T::KTDeviceMessage kind, const QString& text) {
            events << QString("message %1 %2").arg(int(kind)).arg(text);
        });
    }
    QStringList events;
};

inline quint16 unusedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

inline bool connectAndWait(TransportFixture& device, QSignalSpy& messages)
{
    const int before = messages.count();
    if (!device.connectDevice())
        return false;
    const auto connected = [&] {
        return messages.count() > before && messages.last().at(1).toString() == "TCP CONNECTED.";
    };
    return QTest::qWaitFor(connected, 5000);
}

class tst_TcpLink : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void languageForLocale_data();
    void languageForLocale();
    void addressRecords_data();
    void addressRecords();
    void transportEvents_data();
    void transportEvents();
    void withoutStatusOnlyTheModeChanges();
    void connectReportsInOrder();
    void connectRefusedUnlessDisconnected();
    void connectWithoutPortMakesNoAttempt();
    void sendGate_data();
    void sendGate();
    void sendWithoutTransportDrops_data();
    void sendWithoutTransportDrops();
    void peerDisconnects();
    void failedWriteReportsFromTheLoop();
    void reconnectReusesTheSocket();
    void reconnectAfterHeartbeatTimeout();
    void reconnectAfterPeerVanished();
    void closedPort();
    void destructionWhileConnected();
};

#endif // TST_TCPLINK_H
