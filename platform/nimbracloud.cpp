#include "nimbracloud.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

#include <cmath>

namespace {

// A query item carries the value's plain text: strings as they are, whole numbers without
// a fraction, anything structured as compact JSON.
QString queryText(const QJsonValue& v)
{
    switch (v.type()) {
    case QJsonValue::String: return v.toString();
    case QJsonValue::Bool: return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double: {
        const double d = v.toDouble();
        if (std::trunc(d) == d && std::fabs(d) < 9.0e15)
            return QString::number(static_cast<qint64>(d));
        return QString::number(d, 'g', 17);
    }
    case QJsonValue::Array: return QString::fromUtf8(QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact));
    case QJsonValue::Object: return QString::fromUtf8(QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact));
    default: return QString();
    }
}

// Percent-encoded by hand: QUrlQuery leaves "+" and "&" inside values ambiguous.
QByteArray encodedQuery(const QJsonObject& data)
{
    QByteArray query;
    for (auto it = data.begin(); it != data.end(); ++it) {
        if (!query.isEmpty())
            query += '&';
        query += QUrl::toPercentEncoding(it.key()) + '=' + QUrl::toPercentEncoding(queryText(it.value()));
    }
    return query;
}

} // namespace

NimbraCloud::NimbraCloud(const QUrl& http, const QString& ws, const QByteArray& bearer, QObject* parent)
    : QObject(parent), manager(new QNetworkAccessManager(this)), httpBase(http), wsBase(ws), token(bearer)
{
    // Resources are relative to the base; without a final "/" the last segment would be replaced.
    QString path = httpBase.path();
    if (!path.endsWith(QLatin1Char('/')))
        httpBase.setPath(path + QLatin1Char('/'));
}

// Requests still in flight die with the manager; their callbacks are not called, since the
// objects they would report to may be going away with this client.
NimbraCloud::~NimbraCloud() = default;

void NimbraCloud::customRequest(const QString& resource, QByteArray verb, QJsonObject data,
                                std::function<void(QNetworkReply*, bool)> callback)
{
    QString relative = resource;
    while (relative.startsWith(QLatin1Char('/')))
        relative.remove(0, 1);
    QUrl url = httpBase.resolved(QUrl(relative));
    const bool isGet = verb == "GET";
    if (isGet && !data.isEmpty())
        url.setQuery(QString::fromLatin1(encodedQuery(data)), QUrl::StrictMode);

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    if (!token.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + token);
    QByteArray body;
    if (!isGet) {
        const QJsonObject extra = hostFields.value(resource);
        for (auto it = extra.begin(); it != extra.end(); ++it) {
            if (!data.contains(it.key()))
                data.insert(it.key(), it.value());
        }
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
        body = QJsonDocument(data).toJson(QJsonDocument::Compact);
    }
    qDebug() << "NimbraCloud::customRequest" << verb << url.toString();

    QNetworkReply* reply = isGet ? manager->get(request) : manager->sendCustomRequest(request, verb, body);

    // Aborting finishes the reply without an HTTP status, which callers read as "no answer".
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    deadline->start(timeoutMs);

    connect(reply, &QNetworkReply::finished, this,
            [this, reply, deadline, resource, verb, data, callback = std::move(callback)]() {
                deadline->stop();
                const bool ok = reply->error() == QNetworkReply::NoError;
                QPointer<QNetworkReply> alive(reply); // a callback may delete this client, and the reply with it
                emit answered(resource, verb, data, reply);
                if (callback && alive)
                    callback(reply, ok);
                if (alive)
                    reply->deleteLater();
            });
}

QString NimbraCloud::ws() const
{
    return wsBase;
}

void NimbraCloud::setTimeout(int ms)
{
    timeoutMs = qMax(1, ms);
}

int NimbraCloud::timeout() const
{
    return timeoutMs;
}
