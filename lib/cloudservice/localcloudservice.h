#ifndef LOCALCLOUDSERVICE_H
#define LOCALCLOUDSERVICE_H

#include "devicechannels.h"
#include "devicetokens.h"
#include "httpserver.h"
#include "restresources.h"
#include "storethread.h"

#include <QHash>
#include <QHostAddress>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

// The cutter cloud as a small self-hosted service, and the tests' stand-in for it. One port
// serves the HTTP resources "device", "device_model" and "device_work_records", the device
// channel "<wsBase><code>/Device/", the fleet page at "/" and its live feed "/live".
// Records live in memory unless useDatabase() names a database. Requests that got through
// are kept for tests to read back unless setRecording(false) (the program) says otherwise.
// With a token set, every resource and channel wants it; without one, nothing is asked.
class LocalCloudService : public QObject
{
    Q_OBJECT
public:
    using Request = HttpRequest;

    // How the next requests on one resource are answered instead of normally.
    struct Fault
    {
        int status = 0;      // non-zero: answer with this status and an error body
        int delayMs = 0;     // answer only after this time
        bool silent = false; // never answer (the connection stays open)
        int times = -1;      // how many requests it applies to; -1: all
        bool served = false; // with silent: the request is served all the same, only its answer is lost
    };

    // Limits on what one request may carry; larger ones are refused and the connection closed.
    static constexpr int MaxHeaderBytes = 16 * 1024;
    static constexpr int MaxBodyBytes = 1024 * 1024;
    // How long a client is asked to wait when the database is away.
    static constexpr int RetryAfterSeconds = 5;

    explicit LocalCloudService(QObject* parent = nullptr);
    ~LocalCloudService() override;

    // Keeps the records in a database (see SqlStore::open) instead of memory; before listen().
    // A SQLite file's folder must exist unless createFolder says to make it.
    bool useDatabase(const QString& location, QString* error = nullptr, bool createFolder = false);
    // Requests must carry "Authorization: Bearer <token>"; the device channel has the token
    // in its base address (wsBase()), the page's feed as its first message.
    void setToken(const QByteArray& token);
    QByteArray token() const { return accessToken; }
    // Tokens that each let one cutter act as itself (see DeviceTokens), besides the token.
    void setDeviceTokens(const QString& file);
    // Whether requests, channel paths and channel texts are kept for requests() and the like.
    void setRecording(bool on);
    void setLimits(const HttpServer::Limits& limits) { http.setLimits(limits); }
    int openConnections() const { return http.connectionCount(); }

    bool listen(quint16 port = 0);
    bool listen(const QHostAddress& address, quint16 port);
    quint16 port() const { return http.serverPort(); }
    QUrl httpBase() const;
    QString wsBase() const;

    // Cloud data.
    int addDeviceModel(int code, const QString& name = QString());
    int addDevice(const QJsonObject& record);
    QJsonObject device(int id) const;
    QJsonObject deviceByCode(const QString& code) const;
    int deviceCount() const;
    QList<QJsonObject> workRecords() const;

    // Fault injection, per resource.
    void setFault(const QString& resource, const Fault& fault) { faults.insert(resource, fault); }
    void clearFaults() { faults.clear(); }

    // What was asked.
    QList<Request> requests() const { return received; }
    QList<Request> requests(const QString& resource) const;
    void clearRequests() { received.clear(); }

    // The device channel.
    QStringList connectedDevices() const { return channels.connectedDevices(); }
    int liveFeeds() const { return channels.liveFeeds(); }
    // Paths asked for by every WebSocket client, accepted or not, in order.
    QStringList channelPaths() const { return channels.channelPaths(); }
    QStringList textsFrom(const QString& code) const { return channels.textsFrom(code); }
    bool sendToDevice(const QString& code, const QString& text) { return channels.sendToDevice(code, text); }
    void closeDevice(const QString& code) { channels.closeDevice(code); }

signals:
    void requestReceived(int index);
    // Every request that reached the resources, with the status it was answered with.
    void requestAnswered(const QByteArray& verb, const QString& path, int status);
    void deviceChannelOpened(const QString& code);
    void deviceTextReceived(const QString& code, const QString& text);

private:
    std::optional<HttpAnswer> checkHead(const Request& request) const;
    void onRequest(quint64 connection, const Request& request);
    void answer(const Request& request, std::function<void(const HttpAnswer&)> done);
    static HttpAnswer unavailable(const CloudStore& store);
    static HttpAnswer answerFrom(CloudStore& store, const Request& request, const LiveView& live, QStringList& seen);
    bool authorized(const Request& request) const;
    QString deviceOf(const QByteArray& token) const { return deviceTokens.codeFor(token); }
    bool takeFault(const QString& resource, Fault& fault);
    void finish(quint64 connection, const Request& request, const HttpAnswer& answer);

    mutable StoreThread store; // const readers wait for it too
    HttpServer http;
    DeviceChannels channels;
    QByteArray accessToken;
    mutable DeviceTokens deviceTokens; // reads its file again when it changes
    bool recording = true;
    QList<Request> received;
    QHash<QString, Fault> faults;
};

#endif // LOCALCLOUDSERVICE_H
