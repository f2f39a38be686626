#ifndef LOCALCLOUDSERVICE_H
#define LOCALCLOUDSERVICE_H

#include <QByteArray>
#include <QHash>
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

class QTcpSocket;
class QWebSocket;

// A stand-in for the cutter cloud on 127.0.0.1, for tests and demos. One port serves both
// the HTTP resources "device", "device_model" and "device_work_records" and the device
// channel "<wsBase><code>/Device/". Records live in memory; every request is recorded.
class LocalCloudService : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        QByteArray verb;
        QString path;       // as sent, without the query
        QString resource;   // path without the surrounding "/"
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

    bool listen(quint16 port = 0);
    quint16 port() const { return server.serverPort(); }
    QUrl httpBase() const;
    QString wsBase() const;

    // Cloud data.
    int addDeviceModel(int code, const QString& name = QString());
    int addDevice(const QJsonObject& record);
    QJsonObject device(int id) const { return devices.value(id); }
    QJsonObject deviceByCode(const QString& code) const;
    int deviceCount() const { return devices.size(); }
    QList<QJsonObject> workRecords() const { return records; }

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
        int status = 200;
        QJsonObject body;
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
    void reply(QTcpSocket* socket, const Answer& answer, bool keepAlive);
    void refuse(QTcpSocket* socket, int status);
    bool takeFault(const QString& resource, Fault& fault);

    void onWebSocket();

    QTcpServer server;
    QWebSocketServer wsServer;
    QHash<QTcpSocket*, Connection> connections;
    QList<Request> received;
    QHash<QString, Fault> faults;

    QMap<int, QJsonObject> models;  // by id
    QMap<int, QJsonObject> devices; // by id
    QList<QJsonObject> records;
    int nextId = 1;

    QHash<QString, QPointer<QWebSocket>> channels;
    QHash<QString, QStringList> texts;
    QStringList paths;
};

#endif // LOCALCLOUDSERVICE_H
