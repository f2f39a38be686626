#ifndef KTCOMMONINTERFACE_H
#define KTCOMMONINTERFACE_H

#include "ktdeviceinterface.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QJsonObject>
#include <QMutex>
#include <QString>
#include <QTimer>
#include <QTranslator>

class KTDeviceProperty;
class NimbraCloud;
class QTcpSocket;
class QWebSocket;
class UsbLink;

// The shared driver core: owns the link to one cutter (USB or TCP), cuts and dispatches
// its replies, runs the heartbeat and the shared task operations, talks to the cloud, and
// knows the parameter sets of the two cutter families (437 and 157).
class KTRV8_EXPORT KTCommonInterface : public KTDeviceInterface
{
    Q_OBJECT
public:
    explicit KTCommonInterface(QObject* parent = nullptr);
    ~KTCommonInterface() override;

    // Overrides of the host interface, in its slot order.
    KTDeviceInterface* initInstance() override;
    void setUSBPath(QString path) override;
    void setIPAddress(QString address) override;
    bool connectDevice() override;
    KTDeviceProperty* property_ptr(const char* key) override;
    QStringList userProperty() override;
    void sendCMD(QByteArray bytes) override;
    void setNimbraCloud(NimbraCloud* cloud, QString code) override;
    void startTask() override;
    void stopTask() override;
    void move(int first, int second) override;

    // One reply frame, STX to ETX inclusive, as text.
    virtual void decode_cmd(QString frame);

    // --- Link ---
    void systemLanguage();
    void connect_usb(QString path);
    void connect_tcp(QString host);
    void send_cmd(QByteArray bytes);

    // --- Reply decoding ---
    void decode_buffer();
    static void decode_cmd(QString item, QString& key, int& number, QString& value);
    void decode_task(QString item);

    // --- Heartbeat ---
    void heartbeat_switch(bool on);

    // --- Family 437 ---
    void init437(KTDeviceInterface* device);
    void info_437(KTDeviceInterface* device);
    void camera_offset_437(KTDeviceInterface* device);
    void scale_437(KTDeviceInterface* device);
    void work_area_437(KTDeviceInterface* device);

    // --- Family 157 ---
    void init157(KTDeviceInterface* device);
    void info_157(KTDeviceInterface* device);
    void feed_157(KTDeviceInterface* device);
    void sp1_157(KTDeviceInterface* device);
    void sp2_157(KTDeviceInterface* device);
    void tool_space_157(KTDeviceInterface* device);
    void camera_offset_157(KTDeviceInterface* device);
    void scale_157(KTDeviceInterface* device);
    void work_area_157(KTDeviceInterface* device);
    void move_157(KTDeviceInterface* device);

    // --- Cloud records ---
    void cloud_device_get(QJsonObject query);
    void cloud_device_model_get(QJsonObject query);
    void cloud_device_new(QJsonObject record);
    void cloud_device_update(QJsonObject record);
    void cloud_device_workrecord(QJsonObject body);
    void device_task_record_to_cloud();
    void device_info_to_cloud();

    // --- Cloud channel ---
    void connect_websocket();
    void device_task_to_cloud();

public slots:
    void slot_usb_write(QByteArray data);
    void slot_usb_read(QByteArray data);
    void slot_usb_status(int s);
    void slot_tcp_socket_read();
    void slot_tcp_socket_state(QAbstractSocket::SocketState s);
    void slot_device_timer();
    void slot_websocket_connected();
    void slot_websocket_disconnected();
    void slot_websocket_error(QAbstractSocket::SocketError error);
    void slot_websocket_text_received(QString message);

protected:
    // What the driver tells the host, and every value it sets, may make the host delete this
    // device from its slot. Both return false when the device is gone: the caller must then
    // return without touching anything. A null property is skipped and counts as alive.
    bool notifyHost(KTDeviceMessage kind, const QString& text);
    bool setValueOf(KTDeviceProperty* property, const QVariant& value);

    UsbLink* usbLink = nullptr;
    QTcpSocket* tcpSocket = nullptr;
    QByteArray recvBuffer;
    QTimer deviceTimer;
    NimbraCloud* cloud = nullptr;
    QWebSocket* webSocket = nullptr;
    QString lastTaskFrame;
    QString lastSocketText;
    QMutex sendMutex;
    QTranslator translator;
    QJsonObject cloudDevice;
    QString language;

private:
    friend class KTCommonInterfacePrivate;

    void onTransportEvent(const char* mode, int status, const char* text, bool restartTimer);
    void stopHeartbeat();
    void appendReceived(const QByteArray& data);
    void scheduleDeviceLookupRetry();
    bool setCloudDevice(const QJsonObject& record);
    // Reply handlers, taking what the cloud answered (status 0: no HTTP answer).
    void handle_device_model_reply(int httpStatus, const QByteArray& body);
    void handle_device_lookup_reply(int httpStatus, const QByteArray& body);
    void handle_device_new_reply(int httpStatus, const QByteArray& body, bool ok);
    template <typename Transport>
    void retireTransport(Transport*& transport);
    void flushTcp();

    friend class TransportSignalScope;
    int transportSignalDepth = 0; // transport signals being handled right now, nested
    QString tcpTarget;            // "host:port" of the last TCP connection attempt
    bool decoding = false;        // decode_buffer is running: a nested call only appends
    bool flushingTcp = false;     // inside flushTcp: socket state changes wait for the loop
    int cloudRetryMs = 10000;     // wait before a lookup that got no answer is repeated
    QTimer* cloudRetryTimer = nullptr;
};

#endif // KTCOMMONINTERFACE_H
