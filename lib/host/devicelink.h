#ifndef DEVICELINK_H
#define DEVICELINK_H

#include "hostcommon.h"

#include "ktdeviceinterface.h"

#include <QHash>
#include <QObject>
#include <QPluginLoader>
#include <QVariant>

#include <functional>
#include <memory>

class KTDeviceProperty;

// The host's end of one cutter: loads the plug-in as the desktop host does, takes a device
// object from it, connects it and waits for replies.
class DeviceLink : public QObject
{
    Q_OBJECT
public:
    explicit DeviceLink(QObject* parent = nullptr);
    ~DeviceLink() override;

    // The plug-in beside the executable unless a path is given.
    bool load(const QString& pluginPath, QString* error);
    KTDeviceInterface* device() const { return dev.get(); }
    KTDeviceProperty* property(const QString& key) const;

    // How long a host waits for the link to come up, and for the cutter to answer a request
    // (a busy cutter answers within a few seconds; a silent one is said to be silent after this).
    static constexpr int ConnectTimeoutMs = 10000;
    static constexpr int ReplyTimeoutMs = 10000;

    // Connects and waits for the link to come up; returns an ExitCode.
    int connectTo(const Address& address, int timeoutMs, QString* error);
    bool isConnected() const { return connected; }
    void send(const QByteArray& frame);

    // Sends the read requests of the given properties and waits until the cutter has
    // answered them all (a firmware read sent last is answered last). Properties the
    // cutter did not answer are listed in unanswered and keep their previous value.
    bool readBack(const QStringList& keys, int timeoutMs, QStringList* unanswered);
    QStringList filledKeys(const QString& key) const;
    // Waits until everything sent so far has been answered.
    bool barrier(int timeoutMs);
    // Ends a readBack or barrier in progress at once, as unanswered (the user gave up).
    void cancelWait() { waitCancelled = true; }

    static bool waitUntil(const std::function<bool()>& done, int timeoutMs);

    // What the cutter answered to a CCMD request with this code since the last clearReplies:
    // its result field, or -1 when no answer was seen. The host reads the frames beside the
    // driver on both links; until it does, repliesKnown() is false and callers fall back to
    // the properties.
    bool repliesKnown() const { return tapped; }
    int replyResult(int code) const { return replies.value(code, -1); }
    void clearReplies() { replies.clear(); }

signals:
    void statusText(const QString& text);
    void taskText(const QString& text);
    void qrCode(const QString& code);
    void linkLost(const QString& text);

private:
    void onMessage(KTDeviceInterface::KTDeviceMessage kind, const QString& text);
    void tapTcp();
    void tapUsb();
    void readTapped(const QByteArray& bytes);
    static int tcpFailure(KTDeviceInterface* device, const Address& address, QString* error);
    static int usbPreflight(const QString& path, QString* error);

    QPluginLoader loader;
    std::unique_ptr<KTDeviceInterface> dev;
    bool connected = false;
    bool everConnected = false;
    QString lastStatus;
    bool tapped = false;
    bool usbTap = false;
    bool waitCancelled = false;
    QByteArray tapBuffer;
    QHash<int, int> replies; // CCMD code -> result
};

#endif // DEVICELINK_H
