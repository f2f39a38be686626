#ifndef LOCALCLOUDSERVICE_H
#define LOCALCLOUDSERVICE_H

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>
#include <QUrlQuery>
#include <QWebSocketServer>

#include <memory>

class CloudStore;
class QTcpSocket;
class QWebSocket;

// The cutter cloud as a small self-hosted service, and the tests' stand-in for it. One port
// serves the HTTP resources "device", "device_model" and "device_work_records", the device
// channel "<wsBase><code>/Device/", the fleet page at "/" and its live feed "/live".
// Records live in memory unless useDatabase() names a database; every request is recorded.
// With a token set, every resource and channel wants it; without one, nothing is asked.
class LocalCloudService : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        QByteArray verb;
        QString path;     // as sent, without the query
        QString resource; // path without the surrounding "/"
        QUrlQuery query;
        QByteArray body;
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QJsonObject json() const;             // the body as an object (empty if it is none)
    };

    // How the next requests on one resource are answered instead of normally.
    struct Fault
    {
        int status = 0;      // non-zero: answer with this status and an error body
        int delayMs = 0;     // answer only after this time
        bool silent = false; // never answer (the connection stays open)
        int times = -1;      // how many requests it applies to; -1: all
    };

    // Limits on what one request may carry; larger ones are refused and the connection closed.
    static constexpr int MaxHeaderBytes = 16 * 1024;
    static constexpr int MaxBodyBytes = 1024 * 1024;

    explicit LocalCloudService(QObject* parent = nullptr);
    ~LocalCloudService() override;

    // Keeps the records in a database (see SqlStore::open) instead of memory; before listen().
    bool useDatabase(const QString& location, QString* error = nullptr);
    // Requests must carry "Authorization: Bearer <token>"; the device channel has the token
    // in its base address (wsBase()), the page's feed as its first message.
    void setToken(const QByteArray& token) { accessToken = token; }
    QByteArray token() const { return accessToken; }

    bool listen(quint16 port = 0);
    bool listen(const QHostAddress& address, quint16 port);
    quint16 port() const { return server.serverPort(); }
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
    QStringList connectedDevices() const;
    // Paths asked for by every WebSocket client, accepted or not, in order.
    QStringList channelPaths() const { return paths; }
    QStringList textsFrom(const QString& code) const { return texts.value(code); }
    bool sendToDevice(const QString& code, const QString& text);
    void closeDevice(const QString& code);

signals:
    void requestReceived(int index);
    void deviceChannelOpened(const QString& code);
    void deviceTextReceived(const QString& code, const QString& text);

private:
    struct Answer
    {
        Answer(int code = 200, const QJsonObject& object = {})
            : status(code), body(QJsonDocument(object).toJson(QJsonDocument::Compact))
        {
        }
        Answer(int code, const QJsonArray& list)
            : status(code), body(QJsonDocument(list).toJson(QJsonDocument::Compact))
        {
        }
        Answer(int code, const QByteArray& bytes, const QByteArray& type) : status(code), body(bytes), contentType(type)
        {
        }
        int status;
        QByteArray body;
        QByteArray contentType = "application/json";
    };
    struct Connection
    {
        QByteArray buffer;
        bool waiting = false; // an answer is still owed (delayed or never)
    };

    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    bool isUpgrade(QTcpSocket* socket) const;
    void handOverToWebSocket(QTcpSocket* socket);
    void processBuffer(QTcpSocket* socket);
    bool takeRequest(QTcpSocket* socket, Request& request, bool& keepAlive);
    void dispatch(QTcpSocket* socket, const Request& request, bool keepAlive);
    Answer answer(const Request& request);
    Answer deviceResource(const Request& request);
    Answer deviceModelResource(const Request& request);
    Answer workRecordResource(const Request& request);
    Answer workRecordList(const Request& request);
    Answer deviceList();
    Answer pageResource(const Request& request);
    bool authorized(const Request& request) const;
    void seen(const QString& code, bool persist);
    void reply(QTcpSocket* socket, const Answer& answer, bool keepAlive);
    void refuse(QTcpSocket* socket, int status);
    bool takeFault(const QString& resource, Fault& fault);

    void onWebSocket();
    void acceptDeviceChannel(QWebSocket* socket, const QString& code);
    void acceptPageFeed(QWebSocket* socket);
    void onDeviceText(const QString& code, const QString& text);
    QJsonObject liveState(const QString& code) const;
    void broadcast(const QJsonObject& event);

    QTcpServer server;
    QWebSocketServer wsServer;
    QHash<QTcpSocket*, Connection> connections;
    QList<Request> received;
    QHash<QString, Fault> faults;

    std::unique_ptr<CloudStore> store;
    QByteArray accessToken;

    QHash<QString, QPointer<QWebSocket>> channels;
    QHash<QString, QJsonObject> runningTasks; // the latest task state of each device, by code
    QHash<QString, QDateTime> lastSeen;       // by code, including channel traffic
    QList<QPointer<QWebSocket>> pageFeeds;    // pages that gave the token
    QHash<QString, QStringList> texts;
    QStringList paths;
};

#endif // LOCALCLOUDSERVICE_H
