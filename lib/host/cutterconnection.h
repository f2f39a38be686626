#ifndef CUTTERCONNECTION_H
#define CUTTERCONNECTION_H

#include "cutterreplies.h"
#include "driverplugin.h"
#include "hostcommon.h"

#include "ktdeviceinterface.h"

#include <QObject>

#include <functional>
#include <memory>

class KTDeviceProperty;

// The host's end of one cutter: a device object from the driver plug-in, connected to the
// cutter's address, its status texts told apart, its replies waited for.
class CutterConnection : public QObject
{
    Q_OBJECT
public:
    explicit CutterConnection(QObject* parent = nullptr);
    ~CutterConnection() override;

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
    // Said after a lost link: a cutter that closed it before it answered anything may be
    // serving another program. Empty otherwise.
    QString lostHint() const;
    void send(const QByteArray& frame);

    // Waiting for answers; see CutterReplies.
    bool readBack(const QStringList& keys, int timeoutMs, QStringList* unanswered);
    bool barrier(int timeoutMs);
    void cancelWait();
    QStringList filledKeys(const QString& key) const;
    static bool waitUntil(const std::function<bool()>& done, int timeoutMs)
    {
        return CutterReplies::waitUntil(done, timeoutMs);
    }

    // What the cutter answered to a CCMD request with this code since the last readBack or
    // barrier, or -1 when no answer was seen. repliesKnown() is false when the device does
    // not let its replies be seen; callers then fall back to the properties.
    bool repliesKnown() const { return replies && replies->known(); }
    int replyResult(int code) const { return replies ? replies->result(code) : -1; }

signals:
    void statusText(const QString& text);
    void taskText(const QString& text);
    void qrCode(const QString& code);
    void linkLost(const QString& text);
    // A reply frame came in; the driver acts on it right after.
    void replyArriving();

private:
    void onMessage(KTDeviceInterface::KTDeviceMessage kind, const QString& text);
    void onStatus(const QString& text);
    static int tcpFailure(KTDeviceInterface* device, const Address& address, QString* error);

    DriverPlugin plugin; // outlives the device it gave
    std::unique_ptr<KTDeviceInterface> dev;
    std::unique_ptr<CutterReplies> replies;
    bool connected = false;
    bool answered = false; // a reply came since the link came up
    QString lastStatus;
};

#endif // CUTTERCONNECTION_H
