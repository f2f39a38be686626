#ifndef KTDEVICEINTERFACE_H
#define KTDEVICEINTERFACE_H

#include "ktglobal.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

class KTDeviceProperty;
class NimbraCloud;

// The abstract driver the host programs against. The order of the virtual operations
// below is the binary interface the host was compiled with: never reorder or insert.
class KTRV8_EXPORT KTDeviceInterface : public QObject
{
    Q_OBJECT
public:
    enum KTDeviceStatus {
        DisConnected = 0,
        Idle = 1,
        Working = 2,
        Pause = 3,
        Warning = 4,
        Error = 5
    };
    Q_ENUM(KTDeviceStatus)
    enum KTDeviceMessage {
        DevStatus = 0,
        DevTasK = 1,
        Qrcode = 2
    };
    Q_ENUM(KTDeviceMessage)
    enum KTDeviceCMDType {
        UnCMD = 0,
        CCMD = 1,
        CMD = 2,
        NUM = 3,
        PLT = 4,
        PPLT = 5,
        QRPLT = 6
    };
    Q_ENUM(KTDeviceCMDType)

    explicit KTDeviceInterface(QObject* parent = nullptr);
    ~KTDeviceInterface() override;

    virtual KTDeviceInterface* initInstance();                     // 1
    virtual void setUSBPath(QString path);                         // 2
    virtual void setIPAddress(QString address);                    // 3
    virtual bool connectDevice();                                  // 4
    virtual KTDeviceProperty* property_ptr(const char* key);       // 5
    virtual QStringList userProperty();                            // 6
    virtual QStringList sysProperty();                             // 7
    virtual void sendCMD(QByteArray bytes);                        // 8
    virtual void setNimbraCloud(NimbraCloud* cloud, QString code); // 9
    virtual void startTask();                                      // 10
    virtual void stopTask();                                       // 11
    virtual void move(int x, int y);                               // 12
    virtual int icon();                                            // 13
    virtual void setPlt(QString plt);                              // 14

    static QString buildDate();

    // Stores a property on this object under key as a void* dynamic property. A record
    // already stored there is kept alive (a host may still hold it) and freed with the device.
    void storeProperty(const char* key, KTDeviceProperty* property);

signals:
    void message(KTDeviceMessage kind, QString text);
};

#define KTDeviceInterface_iid "Veska.nimbra.ktdeviceinterface"
Q_DECLARE_INTERFACE(KTDeviceInterface, KTDeviceInterface_iid)

#endif // KTDEVICEINTERFACE_H
