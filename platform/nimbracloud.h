#ifndef NIMBRACLOUD_H
#define NIMBRACLOUD_H

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

#if defined(NIMBRACLOUD_LIBRARY)
#define NIMBRACLOUD_EXPORT Q_DECL_EXPORT
#else
#define NIMBRACLOUD_EXPORT Q_DECL_IMPORT
#endif

class QNetworkAccessManager;
class QNetworkReply;

// The host's cloud client: JSON requests against the cloud's HTTP service and the base
// address of its WebSocket service.
class NIMBRACLOUD_EXPORT NimbraCloud : public QObject
{
    Q_OBJECT
public:
    NimbraCloud(const QUrl& httpBase, const QString& wsBase, const QByteArray& bearerToken = {},
                QObject* parent = nullptr);
    ~NimbraCloud() override;

    // Sends verb on resource (relative to the HTTP base). A "GET" carries data as query
    // items, other verbs as a JSON body. The callback, if any, runs once on this object's
    // thread with the reply (freed afterwards) and whether the request succeeded.
    void customRequest(const QString& resource, QByteArray verb, QJsonObject data,
                       std::function<void(QNetworkReply*, bool)> callback);
    QString ws() const;
    // Fields the host adds, beside the driver's own and never over them, to the body of every
    // request on resource that carries one.
    void setHostFields(const QString& resource, const QJsonObject& fields) { hostFields[resource] = fields; }

    // Requests not answered within this time fail with HTTP status 0 (default 15 s).
    void setTimeout(int ms);
    int timeout() const;

signals:
    // Every answer or failure, before the request's callback runs: the request's resource,
    // verb and data, and its reply. The body is left for the callback: read it with peek().
    void answered(const QString& resource, const QByteArray& verb, const QJsonObject& data, QNetworkReply* reply);

private:
    QNetworkAccessManager* manager;
    QUrl httpBase;
    QString wsBase;
    QByteArray token;
    int timeoutMs = 15000;
    QHash<QString, QJsonObject> hostFields;
};

#endif // NIMBRACLOUD_H
