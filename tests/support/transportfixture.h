#ifndef TRANSPORTFIXTURE_H
#define TRANSPORTFIXTURE_H

#include "ktcommoninterface.h"
#include "ktdeviceproperty.h"

#include <QDateTime>
#include <QStringList>
#include <QTimer>

class QTcpSocket;
class UsbLink;

// The transport tests' device: just the properties the TCP and USB transports need, stored
// the way parameter sets do. "LAST_TIME" starts a day back, so the first reply always moves it.
// heartbeat < 0: no "HEARTBEAT" property.
class TransportFixture : public KTCommonInterface
{
public:
    explicit TransportFixture(quint16 port = 0, int heartbeat = -1)
    {
        // key, initial value, kind, get code, set code, length
        const struct
        {
            const char* key;
            QVariant value;
            KTDeviceCMDType kind;
            int get, set, len;
        } rows[] = {
            {"STATUS", 0, UnCMD, 0, 0, 0},
            {"CONNECT_MODE", QString(), UnCMD, 0, 0, 0},
            {"TCP_PORT", int(port), UnCMD, 0, 0, 0},
            {"LAST_TIME", QDateTime::currentDateTime().addDays(-1), UnCMD, 0, 0, 0},
            {"SPEED", 100, CMD, 1, 1, 1},
        };
        for (const auto& r : rows)
            add(r.key, r.value, r.kind, r.get, r.set, r.len);
        if (heartbeat >= 0)
            add("HEARTBEAT", heartbeat, UnCMD, 0, 0, 0);
        setIPAddress("127.0.0.1");
    }
    void add(const char* key, const QVariant& value, KTDeviceCMDType kind, int get, int set, int len)
    {
        auto* p = new KTDeviceProperty(nullptr);
        p->init(value, QString(), QString(), get, set, len, kind, {});
        storeProperty(key, p);
    }
    void remove(const char* key)
    {
        delete property_ptr(key);
        setProperty(key, QVariant());
    }
    void set(const char* key, const QVariant& v) { property_ptr(key)->setValue(v); }
    QVariant value(const char* key) { return property_ptr(key)->value(); }
    const QTimer& heartbeatTimer() const { return deviceTimer; }
    UsbLink* usb() const { return usbLink; }
    QTcpSocket* socket() const { return tcpSocket; }
    void decode_cmd(QString frame) override
    {
        frames << frame;
        KTCommonInterface::decode_cmd(frame);
    }
    QStringList frames;
};

#endif // TRANSPORTFIXTURE_H
